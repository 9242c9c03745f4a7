#include "app/shell.h"

#include <cstring>

#include "app/camera_log.h"
#include "app/runner.h"
#include "app/setup_dialog.h"
#include "platform/gl.h"
#include "platform/sound.h"
#include "platform/system.h"
#include "production/app_state.h"
#include "production/demo.h"
#include "production/frame_step.h"
#include "production/music.h"
#include "render/outline_font.h"
#include "render/render_context.h"

namespace ostravel {

namespace {

WindowSystem* platformWindows = nullptr;
SoundDevice* platformSound = nullptr;
ShellOptions shellOptions;

WindowSystem& windows() { return platformWindows ? *platformWindows : sdlWindowSystem(); }
SoundDevice& sound() { return platformSound ? *platformSound : openAlSoundDevice(); }

void swapWindowBuffers(double /*ignored*/) { windows().swapBuffers(); }

// Shows the outcome's message and hands it on.
OutcomeReport fail(OutcomeReport report) {
    showOutcome(report);
    return report;
}

const char* glText(GLenum name) {
    const auto* text = reinterpret_cast<const char*>(glGetString(name));
    return text ? text : "";
}

// Creating the off-screen surface; false when it cannot be made.
bool createPbuffer(AppState& app) {
    glMatrixMode(GL_PROJECTION);
    gluPerspective(65.0, 4.0 / 3.0, 0.001, 157.0);  // multiplies the window's projection
    glMatrixMode(GL_MODELVIEW);
    if (!windows().hasContext()) return false;
    if (!windows().createOffscreen(1024)) return false;
    app.pbuffer.windows = &windows();

    for (GLenum cap : {GL_ALPHA_TEST, GL_BLEND, GL_DEPTH_TEST, GL_DITHER, GL_FOG, GL_LIGHTING, GL_COLOR_LOGIC_OP,
                       GL_STENCIL_TEST, GL_TEXTURE_1D, GL_TEXTURE_2D})
        glDisable(cap);
    glPixelTransferi(GL_MAP_COLOR, GL_FALSE);
    for (GLenum scale : {GL_RED_SCALE, GL_GREEN_SCALE, GL_BLUE_SCALE, GL_ALPHA_SCALE}) glPixelTransferf(scale, 1.0f);
    for (GLenum bias : {GL_RED_BIAS, GL_GREEN_BIAS, GL_BLUE_BIAS, GL_ALPHA_BIAS}) glPixelTransferf(bias, 0.0f);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    return true;
}

}  // namespace

bool checkGraphicsCard(const char* renderer, const char* extensions) {
    if (std::strstr(renderer, "5200") || std::strstr(renderer, "6200"))
        showMessage("Slow graphics card present. \n \n The demo will NOT play properly \n Proceed at your own risk.",
                    "  = Lumestra. KVR 2006 = ", MessageIcon::Information);
    return std::strstr(extensions, "fragment_program") != nullptr;
}

WindowSystem& shellWindows() { return windows(); }

void installShellPlatform(WindowSystem* windowSystem, SoundDevice* soundDevice, const ShellOptions& options) {
    platformWindows = windowSystem;
    platformSound = soundDevice;
    shellOptions = options;
}

OutcomeReport CreateGLWindow(const char* title, int width, int height, int bits, bool fullscreenFlag) {
    AppState& app = appState();
    app.fullscreen = fullscreenFlag;
    app.windows = &windows();

    if (!windows().startUp()) return fail(outcomeOf(WindowFailure::RegisterClass));
    if (app.fullscreen && !windows().changeDisplayMode(width, height, bits)) {
        const MessageAnswer answer = showMessage(
            "The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?",
            "KVR GL ;-)", MessageIcon::Exclamation, MessageButtons::YesNo);
        if (answer != MessageAnswer::Yes) return fail({Outcome::FullscreenRefused});
        app.fullscreen = false;
    }
    if (app.fullscreen) windows().showCursor(false);

    WindowRequest request;
    request.title = title;
    request.width = width;
    request.height = height;
    request.fullscreen = app.fullscreen;
    request.x = app.fullscreen ? 0 : 50;
    request.y = app.fullscreen ? 0 : 50;
    request.hidden = shellOptions.hiddenWindow;
    if (shellOptions.showTarget) {
        request.resizable = true;
        request.targetWidth = width;
        request.targetHeight = height;
    }
    const WindowFailure failure = windows().createWindow(request);
    if (failure != WindowFailure::None) {
        KillGLWindow();
        return fail(outcomeOf(failure));
    }

    ResizeGLScene(width, height);
    if (OutcomeReport started = InitGL(); started.outcome != Outcome::Running) return started;
    createOutlineFont(renderContext().font);
    return {};
}

void ResizeGLScene(int width, int height) {
    if (height == 0) height = 1;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, double(width) / double(height), double(0.1f), 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void KillGLWindow() {
    AppState& app = appState();
    if (app.fullscreen) {
        windows().restoreDisplayMode();
        windows().showCursor(true);
    }
    if (windows().hasContext() && !windows().releaseContext())
        showMessage("Release Of DC And RC Failed.", "SHUTDOWN ERROR", MessageIcon::Information);
    if (windows().hasWindow() && !windows().destroyWindow())
        showMessage("Could Not Release hWnd.", "SHUTDOWN ERROR", MessageIcon::Information);
}

OutcomeReport InitGL() {
    // The shader compiler needs no up-front options (GLSL is compiled by the driver).
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    return StartProduction();
}

OutcomeReport StartProduction() {
    AppState& app = appState();
    RenderContext& ctx = renderContext();
    ctx.screenCopyMode = 1;
    ctx.swapHook = swapWindowBuffers;
    if (!createPbuffer(app)) return fail({Outcome::NoOffscreenSurface});
    if (!checkGraphicsCard(glText(GL_RENDERER), glText(GL_EXTENSIONS))) return fail({Outcome::NoFragmentPrograms});

    app.debugLog.clear();
    setLinearFiltering();

    // Lives until the process ends.
    app.demo = new Demo();
    if (TextureResult loaded = app.demo->Init(ctx); !loaded) return fail(outcomeOf(std::move(loaded)));
    app.demo->initialised = 1;

    app.sound = &sound();
    if (app.musicEnabled)
        if (const MusicError error = loadMusic(sound()); error != MusicError::None) return fail(outcomeOf(error));
    windows().setSwapInterval(0);  // refused under some X servers: frames then follow the swap
    if (app.musicEnabled) playMusic(sound());

    resetClock(app.clock);
    app.previousClockReading = readClock(app.clock);
    app.demoTime = 0.0;
    app.orbitYaw = app.orbitPitch = app.orbitZoom = 0.0;
    return {};
}

void handleWindowEvent(const WindowEvent& event) {
    AppState& app = appState();
    switch (event.kind) {
    case WindowEventKind::Activate: app.windowActive = event.a == 0; break;
    case WindowEventKind::Close:
        app.quitPosted = true;
        app.quitCode = 0;
        break;
    case WindowEventKind::KeyDown:
        if (event.a >= 0 && event.a < 256) app.keys[event.a] = true;
        break;
    case WindowEventKind::KeyUp:
        if (event.a >= 0 && event.a < 256) app.keys[event.a] = false;
        break;
    case WindowEventKind::Size:
        // With a show target the picture keeps its size; presenting it fits it to the window.
        if (!shellOptions.showTarget) ResizeGLScene(event.a, event.b);
        break;
    case WindowEventKind::LeftDown: app.debugCameraOn = true; break;
    case WindowEventKind::LeftUp: app.debugCameraOn = false; break;
    case WindowEventKind::RightDown: app.debugDragging = true; break;
    case WindowEventKind::RightUp: app.debugDragging = false; break;
    case WindowEventKind::MiddleDown:
        appendCameraLines(app.debugLog, app.cameraPos, app.orbitYaw, app.orbitPitch, app.orbitZoom);
        break;
    case WindowEventKind::Wheel: app.wheelZoom += event.a * double(1.0f / 600.0f); break;
    case WindowEventKind::Other: break;
    }
}

int mainLoop() {
    const OutcomeReport end = runFrames(RunLoop{.events = true}, {});
    if (end.outcome != Outcome::WindowClosed) exitProcess(outcomeMessage(end).status);
    KillGLWindow();
    return appState().quitCode;
}

int runProgram() {
    DialogSettings settings;
    const DialogOutcome outcome = runSetupDialog(settings);
    if (outcome == DialogOutcome::Quit) exitProcess(0);
    AppState& app = appState();
    app.musicEnabled = settings.music;
    app.fullscreen = !settings.windowed;
    app.killWindow = KillGLWindow;
    if (const OutcomeReport started = CreateGLWindow(kWindowTitle, 800, 600, 32, app.fullscreen);
        started.outcome != Outcome::Running)
        exitProcess(outcomeMessage(started).status);
    return mainLoop();
}

}  // namespace ostravel
