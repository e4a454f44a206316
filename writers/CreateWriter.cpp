#include "writers/CreateWriter.h"

#include <cstdio>
#include <new>

#include "core/AlertBox.h"
#include "core/MessageString.h"
#include "platform/Codepage.h"
#include "writers/CWriterAC.h"
#include "writers/CWriterEZ.h"
#include "writers/CWriterFL.h"
#include "writers/CWriterFN.h"
#include "writers/CWriterGJ.h"
#include "writers/CWriterGM.h"
#include "writers/CWriterMD.h"
#include "writers/CWriterMW.h"
#include "writers/CWriterPP.h"
#include "writers/CWriterPT.h"
#include "writers/CWriterSG.h"
#include "writers/CWriterSGU.h"
#include "writers/CWriterSR.h"
#include "writers/CWriterTR.h"
#include "writers/CWriterTX.h"
#include "writers/StartRunner.h"

namespace {

using DriverMaker = CWriter* (*)(platform::WindowHandle owner);

template <class Driver>
CWriter* Make(platform::WindowHandle owner) {
    return NewWriter<Driver>(owner);
}

// One line per driver class: a class joins the build by its include and its line here.
DriverMaker MakerOf(DriverKind kind) {
    switch (kind) {
        case DriverKind::SG: return Make<CWriterSG>;
        case DriverKind::FL: return Make<CWriterFL>;
        case DriverKind::GM: return Make<CWriterGM>;
        case DriverKind::EZ: return Make<CWriterEZ>;
        case DriverKind::AC: return Make<CWriterAC>;
        case DriverKind::FN: return Make<CWriterFN>;
        case DriverKind::PP: return Make<CWriterPP>;
        case DriverKind::GJ: return Make<CWriterGJ>;
        case DriverKind::TR: return Make<CWriterTR>;
        case DriverKind::MD: return Make<CWriterMD>;
        case DriverKind::SGU: return Make<CWriterSGU>;
        case DriverKind::MW: return Make<CWriterMW>;
        case DriverKind::PT: return Make<CWriterPT>;
        case DriverKind::SR: return Make<CWriterSR>;
        case DriverKind::TX: return Make<CWriterTX>;
        case DriverKind::None: return nullptr;
    }
    return nullptr;
}

std::string ModelName(int type) {
    return platform::ToQString(WriterTypeText(type)).toUtf8().toStdString();
}

}  // namespace

bool DriverBuilt(DriverKind kind) { return MakerOf(kind) != nullptr; }

CWriter* CreateWriter(AppSettings& settings, int mode, platform::WindowHandle owner,
                      unsigned startArgument) {
    settings.usbFlag = 0;
    const int type = settings.writerType;
    const WriterChoice choice = ClassifyWriter(type, mode);
    if (choice.refusal == Refusal::Diskette) {
        AlertBox(kMessageDisketteNotes, kAlertOk);
        return nullptr;
    }
    if (choice.refusal != Refusal::None) {
        // An unselected list or a damaged profile; the speech entry is no fault.
        if (type != kSpeechWriterType && (type < 0 || type >= kWriterTypeCount))
            std::fprintf(stderr, "Dictionary Quillfast: there is no writer type %d\n", type);
        else if (mode < kModeNotesFolder || mode > kModeErase)
            std::fprintf(stderr, "Dictionary Quillfast: there is no writer mode %d\n", mode);
        return nullptr;
    }
    // Before the object is made: the base Start then opens no serial port.
    settings.usbFlag = choice.usbFlag;

    const DriverMaker make = MakerOf(choice.driver);
    if (!make) {
        std::fprintf(stderr, "Dictionary Quillfast: the writer model \"%s\" (%s) is not in this "
                             "build\n",
                     ModelName(type).c_str(), DriverClassName(choice.driver));
        return nullptr;
    }
    CWriter* writer = nullptr;
    try {
        writer = make(owner);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "Dictionary Quillfast: no memory for the writer\n");
        return nullptr;
    }
    writer->mode = mode;
    writer->modelFlag = choice.modelFlag;
    writer->keyboardLayout = settings.keyboardLayout;
    // Its outcome is not looked at: a writer that did not answer delivers nothing.
    RunStart(*writer, startArgument);
    return writer;
}
