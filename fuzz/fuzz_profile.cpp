// The profile reader on any settings file: the settings record loads from it, and reading
// never costs the file: it stays as it was or, when damaged, a copy of it is kept.
#include <filesystem>

#include "core/AppSettings.h"
#include "fuzz/FuzzSupport.h"
#include "platform/Presenter.h"
#include "platform/Profile.h"

namespace {

// Notices of a damaged file are expected here; they are counted, not shown.
class SilentPresenter : public platform::Presenter {
public:
    int Alert(const platform::AlertRequest&) override { return platform::kIdClosed; }
    int Prompt(const platform::PromptRequest&, std::string&) override {
        return platform::kIdCancel;
    }
    int MessageBox(const std::string&, const std::string&, unsigned) override { return 0; }
    std::string FileDialog(const platform::FileDialogRequest&) override { return {}; }
    void Notice(const std::string&, const std::string&) override {}
    void Help(int) override {}
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Before the profile fixes its paths.
    setenv("XDG_CONFIG_HOME", fuzz::ScratchFolder().c_str(), 1);
    static SilentPresenter presenter;
    platform::InstallPresenter(&presenter);
    std::filesystem::create_directories(fuzz::ScratchFolder() + "/DQS");
    GetSettings().dataFolder = fuzz::ScratchFolder() + "/data";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string file = fuzz::ScratchFolder() + "/DQS/DictionaryQuillfast.conf";
    const std::string copy = file + ".damaged";
    std::filesystem::remove(copy);
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    fuzz::WriteScratch("DQS/DictionaryQuillfast.conf", bytes);
    platform::ReloadProfile();

    AppSettings& settings = GetSettings();
    settings.LoadUserSettings("default");
    fuzz::Check(settings.keyboardLayout >= 0 && settings.keyboardLayout < kLayoutCount,
                "the layout read is one there is");
    fuzz::Check(settings.dataBits == 7 || settings.dataBits == 8, "data bits are 7 or 8");
    platform::GetProfileString("Settings\\Data", "Users");
    fuzz::Check(fuzz::ReadAll(file) == bytes ||
                    (std::filesystem::exists(copy) && fuzz::ReadAll(copy) == bytes),
                "reading keeps the file or a copy of it");
    return 0;
}
