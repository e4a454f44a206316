#include "platform/Profile.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringDecoder>
#include <QStringList>
#include <QVariant>
#include <algorithm>
#include <limits>
#include <memory>
#include <mutex>

#include "platform/Codepage.h"
#include "platform/Presenter.h"

namespace platform {
namespace {

struct Store {
    std::mutex mutex;
    std::unique_ptr<QSettings> settings;
    std::unique_ptr<QVariantMap> values;  // reads come from here instead, while set
    bool writesBlocked = false;  // the file holds what we could not read: leave it alone
    bool writeReported = false;
    int batchDepth = 0;
    bool batchDirty = false;
};

Store& TheStore() {
    static Store store;
    return store;
}

std::unique_ptr<QSettings> NewSettings() {
    return std::make_unique<QSettings>(QStringLiteral("DQS"), QStringLiteral("DictionaryQuillfast"));
}

// Copies the file to a name not yet taken; empty when no copy could be made.
QString KeepCopy(const QString& path) {
    for (int n = 1; n <= 100; ++n) {
        QString copy = path + QStringLiteral(".damaged");
        if (n > 1) copy += QLatin1Char('-') + QString::number(n);
        if (QFileInfo::exists(copy)) continue;
        return QFile::copy(path, copy) ? copy : QString();
    }
    return {};
}

std::string Quoted(const QString& path) { return "\"" + FromQString(path) + "\""; }

// A key the program can have written: a section and a value name, no level empty, nothing
// that came from bytes that were not text.
bool IsOwnKey(const QString& key) {
    const QStringList levels = key.split(QLatin1Char('/'));
    if (levels.size() < 2) return false;
    for (const QString& level : levels)
        if (level.isEmpty()) return false;
    return !key.contains(QChar::ReplacementCharacter);
}

// What a damaged file's lines left behind (values outside every section, empty names, bytes
// that were no text) would be written back with the first save, under "[General]"; the copy
// kept aside holds them, the file gets only what was read as settings.
void DropJunk(Store& s) {
    const QStringList keys = s.settings->allKeys();
    QList<std::pair<QString, QVariant>> kept;
    for (const QString& key : keys)
        if (IsOwnKey(key)) kept.push_back({key, s.settings->value(key)});
    if (kept.size() == keys.size()) return;
    s.settings->clear();
    for (const auto& [key, value] : kept) s.settings->setValue(key, value);
    // Written now, beside its copy: left pending, the cleaned values would go out whenever the
    // object is next written or dropped, over whatever the file holds by then.
    s.settings->sync();
}

// Opens the profile on first use. Sets `report` to what the user must be told.
void OpenLocked(Store& s, std::string& report) {
    if (s.settings) return;
    s.settings = NewSettings();
    const QString path = s.settings->fileName();
    QFileInfo info(path);
    if (!info.exists()) return;
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly)) {
        s.writesBlocked = true;
        report = "The settings file " + Quoted(path) +
                 " cannot be read. Settings take their default values and are not saved "
                 "until the program is started again, so that the file is not overwritten.";
        return;
    }
    const QByteArray text = file.readAll();
    if (s.settings->status() != QSettings::FormatError &&
        ProfileTextIsWhole(std::string_view(text.constData(), std::size_t(text.size()))))
        return;
    QString copy = KeepCopy(path);
    if (copy.isEmpty()) {
        s.writesBlocked = true;
        report = "The settings file " + Quoted(path) +
                 " is damaged and no copy of it could be kept. Settings that could not be read "
                 "take their default values; settings are not saved until the program is "
                 "started again, so that nothing in the file is lost.";
        return;
    }
    report = "The settings file " + Quoted(path) + " is damaged. A copy of it was kept as " +
             Quoted(copy) + "; settings that could not be read take their default values.";
    DropJunk(s);
}

// Writes the pending values to the file; false (and `report` set, once until a save succeeds
// again) on failure.
bool SyncLocked(Store& s, std::string& report) {
    s.settings->sync();
    bool ok = s.settings->status() == QSettings::NoError;
    if (!ok && s.settings->status() == QSettings::FormatError) {
        // The error of reading a damaged file stays with the object and hides how the write
        // went. A written file is well formed, so a fresh reading tells; when the write failed,
        // the fresh object reads the damaged file again and still holds the pending values.
        s.settings = NewSettings();
        ok = s.settings->status() == QSettings::NoError;
    }
    if (ok) {
        s.writeReported = false;
        return true;
    }
    if (!s.writeReported) {
        s.writeReported = true;
        report = "The settings could not be saved to " + Quoted(s.settings->fileName()) +
                 ". Check that its folder exists and can be written to and that the disk is "
                 "not full.";
    }
    return false;
}

void Report(const std::string& report) {
    if (!report.empty()) ShowNotice(report);
}

// The key of a value: the section's levels and the value name joined by "/"; empty when a
// level is empty.
QString KeyOf(const std::string& section, const std::string& entry) {
    std::string joined = section + "/" + entry;
    std::replace(joined.begin(), joined.end(), '\\', '/');
    if (joined.front() == '/' || joined.back() == '/' || joined.find("//") != std::string::npos) return {};
    return ToQString(joined);
}

QVariant Read(const std::string& section, const std::string& entry) {
    Store& s = TheStore();
    std::string report;
    QVariant value;
    {
        std::lock_guard lock(s.mutex);
        QString key = KeyOf(section, entry);
        if (s.values) {
            if (!key.isEmpty()) value = s.values->value(key);
        } else {
            OpenLocked(s, report);
            if (!key.isEmpty()) value = s.settings->value(key);
        }
    }
    Report(report);
    return value;
}

bool Write(const std::string& section, const std::string& entry, const QVariant& value) {
    Store& s = TheStore();
    std::string report;
    bool ok = false;
    {
        std::lock_guard lock(s.mutex);
        if (s.values) return false;
        OpenLocked(s, report);
        QString key = KeyOf(section, entry);
        if (!key.isEmpty() && !s.writesBlocked) {
            // QSettings keeps its first error; after one, a fresh object (which retries the
            // values still pending) tells whether this write gets through.
            if (s.settings->status() != QSettings::NoError) s.settings = NewSettings();
            s.settings->setValue(key, value);
            if (s.batchDepth > 0) {
                s.batchDirty = true;
                ok = true;
            } else {
                ok = SyncLocked(s, report);
            }
        }
    }
    Report(report);
    return ok;
}

}  // namespace

// What QSettings would drop on its next rewrite of the file: bytes that are not UTF-8, and
// lines that are neither blank, a comment, a section header nor a "key=value" (or the
// continuation of one).
bool ProfileTextIsWhole(std::string_view data) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(QByteArrayView(data.data(), qsizetype(data.size())));
    if (utf8.hasError()) return false;
    bool continued = false;
    for (const QString& raw : text.split(QLatin1Char('\n'))) {
        QString line = raw.trimmed();
        bool ok = continued || line.isEmpty() || line.startsWith(QLatin1Char(';')) ||
                  line.startsWith(QLatin1Char('#')) || line.contains(QLatin1Char('=')) ||
                  (line.startsWith(QLatin1Char('[')) && line.contains(QLatin1Char(']')));
        if (!ok) return false;
        continued = line.endsWith(QLatin1Char('\\'));
    }
    return true;
}

ScopedProfileValues::ScopedProfileValues(const std::map<std::string, StoredValue>& values) {
    auto map = std::make_unique<QVariantMap>();
    for (const auto& [key, stored] : values) {
        QVariant value;
        switch (stored.kind) {
            case StoredValue::Text:
                value = QString::fromUtf8(stored.texts.empty() ? std::string() : stored.texts.front());
                break;
            case StoredValue::List: {
                QStringList list;
                for (const std::string& text : stored.texts) list << QString::fromUtf8(text);
                value = list;
                break;
            }
            case StoredValue::Number:
                value = qlonglong(stored.number);
                break;
            case StoredValue::Bytes:
                value = QByteArray::fromStdString(stored.texts.empty() ? std::string() : stored.texts.front());
                break;
        }
        map->insert(QString::fromUtf8(key), value);
    }
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    s.values = std::move(map);
}

ScopedProfileValues::~ScopedProfileValues() {
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    s.values.reset();
}

int GetProfileInt(const std::string& section, const std::string& entry, int defaultValue) {
    QVariant value = Read(section, entry);
    bool ok = false;
    // Qt's conversion to int keeps the low 32 bits of a larger number ("4294967300" reads as
    // 4): a number beyond an int is no int and gives the default.
    const qlonglong n = value.toLongLong(&ok);
    const bool fits = n >= std::numeric_limits<int>::min() && n <= std::numeric_limits<int>::max();
    return value.isValid() && ok && fits ? int(n) : defaultValue;
}

std::string GetProfileString(const std::string& section, const std::string& entry,
                             const std::string& defaultValue) {
    QVariant value = Read(section, entry);
    if (!value.isValid()) return defaultValue;
    // An unquoted text with commas, typed into the file by hand, reads back as a list.
    if (value.typeId() == QMetaType::QStringList)
        return FromQString(value.toStringList().join(QLatin1Char(',')));
    return FromQString(value.toString());
}

bool WriteProfileInt(const std::string& section, const std::string& entry, int value) {
    return Write(section, entry, QVariant(value));
}

bool WriteProfileString(const std::string& section, const std::string& entry,
                        const std::string& value) {
    return Write(section, entry, QVariant(ToQString(value)));
}

ProfileBatch::ProfileBatch() {
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    ++s.batchDepth;
}

ProfileBatch::~ProfileBatch() {
    Store& s = TheStore();
    std::string report;
    {
        std::lock_guard lock(s.mutex);
        if (--s.batchDepth == 0 && s.batchDirty) {
            s.batchDirty = false;
            SyncLocked(s, report);
        }
    }
    Report(report);
}

void ReloadProfile() {
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    s.settings.reset();
    s.writesBlocked = false;
    s.writeReported = false;
    s.batchDirty = false;
}

std::string ProfileFilePath() {
    Store& s = TheStore();
    std::string report;
    std::string path;
    {
        std::lock_guard lock(s.mutex);
        OpenLocked(s, report);
        path = QFile::encodeName(s.settings->fileName()).toStdString();
    }
    Report(report);
    return path;
}

}  // namespace platform
