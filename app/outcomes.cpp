#include "app/outcomes.h"

namespace ostravel {

namespace {

const char* windowFailureText(WindowFailure failure) {
    switch (failure) {
    case WindowFailure::RegisterClass: return "Failed To Register The Window Class.";
    case WindowFailure::CreateWindow: return "Window Creation Error.";
    case WindowFailure::DeviceContext: return "Can't Create A GL Device Context.";
    case WindowFailure::ChoosePixelFormat: return "Can't Find A Suitable PixelFormat.";
    case WindowFailure::SetPixelFormat: return "Can't Set The PixelFormat.";
    case WindowFailure::CreateContext: return "Can't Create A GL Rendering Context.";
    case WindowFailure::MakeCurrent: return "Can't Activate The GL Rendering Context.";
    case WindowFailure::None: break;
    }
    return "";
}

constexpr MessageIcon kInfo = MessageIcon::Information;
constexpr MessageIcon kWarn = MessageIcon::Exclamation;

}  // namespace

OutcomeMessage outcomeMessage(const OutcomeReport& r) {
    switch (r.outcome) {
    case Outcome::FullscreenRefused: return {"ERROR", "Program Will Now Close.", MessageIcon::Stop, 0};
    case Outcome::NoDisplay: return {"ERROR", windowFailureText(WindowFailure::RegisterClass), kWarn, 0};
    case Outcome::WindowFailed: return {"ERROR", windowFailureText(r.window), kWarn, 0};
    case Outcome::NoFragmentPrograms:
        return {"  = Ostravel. KVR 2006 = ",
                "Graphics card does not support fragment programs. \n \nCards supported are: \n"
                "-------------------------- \n NVidia Geforce FX+ \n Radeon 9500+ \n \n The demo will NOT "
                "play properly \n Proceed at your own risk.",
                kInfo, 0};
    case Outcome::SoundDeviceFailed:
        return {"Project effect 3. Festrum !  ", "Problem initializing FMod. \nProgram will now exit.", kInfo, 1};
    case Outcome::NoSoundFile: return {"KVR Ostravel  ", "Problem initializing FMod. \nNo sound file.", kInfo, 0};
    case Outcome::TextureMissing: return {"Jpg", r.path, kInfo, 0};
    case Outcome::TextureRefused: return {"Jpg !", r.path, kInfo, 0};
    case Outcome::Running:
    case Outcome::DialogQuit:
    case Outcome::NoOffscreenSurface:  // ends silently
    case Outcome::ShowOver:
    case Outcome::FadeDone:
    case Outcome::WindowClosed: break;
    }
    return {nullptr, "", kInfo, 0};
}

void showOutcome(const OutcomeReport& report) {
    const OutcomeMessage message = outcomeMessage(report);
    if (message.caption) showMessage(message.text, message.caption, message.icon);
}

OutcomeReport outcomeOf(TextureResult result) {
    switch (result.error) {
    case TextureError::None: return {};
    case TextureError::CannotOpen: return {Outcome::TextureMissing, WindowFailure::None, std::move(result.path)};
    case TextureError::CannotOpenPicture:
    case TextureError::NotDecodable: break;
    }
    return {Outcome::TextureRefused, WindowFailure::None, std::move(result.path)};
}

OutcomeReport outcomeOf(MusicError error) {
    switch (error) {
    case MusicError::None: return {};
    case MusicError::DeviceFailed: return {Outcome::SoundDeviceFailed};
    case MusicError::NoSoundFile: return {Outcome::NoSoundFile};
    }
    return {};
}

OutcomeReport outcomeOf(FrameOutcome outcome) {
    switch (outcome) {
    case FrameOutcome::GoOn: return {};
    case FrameOutcome::ShowOver: return {Outcome::ShowOver};
    case FrameOutcome::FadeDone: return {Outcome::FadeDone};
    }
    return {};
}

OutcomeReport outcomeOf(WindowFailure failure) {
    if (failure == WindowFailure::None) return {};
    if (failure == WindowFailure::RegisterClass) return {Outcome::NoDisplay};
    return {Outcome::WindowFailed, failure};
}

}  // namespace ostravel
