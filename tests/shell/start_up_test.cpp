#include "tests/support/shell_fixture.h"

using namespace ostravel;
using ostravel::testing::ShellTest;

using StartUp = ShellTest;

TEST_F(StartUp, GraphicsCardChecksAreSubstringSearches) {
    EXPECT_TRUE(checkGraphicsCard("GeForce 6800 GT/AGP", "GL_ARB_fragment_program GL_ARB_vertex_program"));
    EXPECT_TRUE(system.fake.messages.empty());

    EXPECT_TRUE(checkGraphicsCard("GeForce FX 5200", "GL_NV_fragment_program"));  // NV alone passes the check
    ASSERT_EQ(system.fake.messages.size(), 1u);
    EXPECT_EQ(system.fake.messages[0].caption, "  = Lumestra. KVR 2006 = ");
    EXPECT_EQ(system.fake.messages[0].text,
              "Slow graphics card present. \n \n The demo will NOT play properly \n Proceed at your own risk.");

    EXPECT_FALSE(checkGraphicsCard("geforce 6200 lowercase is fine", "GL_ARB_multitexture"));
    ASSERT_EQ(system.fake.messages.size(), 2u) << "the slow-card warning again; the refusal is the caller's";
    EXPECT_EQ(system.fake.messages[1].caption, "  = Lumestra. KVR 2006 = ");
}

TEST_F(StartUp, RefusedFullscreenAsksAndNoEndsBeforeAnyWindow) {
    system.fake.nextAnswer = MessageAnswer::No;
    EXPECT_EQ(CreateGLWindow(kWindowTitle, 800, 600, 32, true).outcome, Outcome::FullscreenRefused);
    ASSERT_EQ(system.fake.messages.size(), 2u);
    EXPECT_EQ(system.fake.messages[0].text,
              "The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?");
    EXPECT_EQ(system.fake.messages[0].caption, "KVR GL ;-)");
    EXPECT_EQ(system.fake.messages[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(system.fake.messages[1].text, "Program Will Now Close.");
    EXPECT_EQ(system.fake.messages[1].icon, MessageIcon::Stop);
    EXPECT_EQ(windows.windowsCreated, 0);
    EXPECT_EQ(windows.releases + windows.destroys, 0) << "no teardown messages or steps";
}

TEST_F(StartUp, WindowFailuresAreReportedAfterTeardown) {
    windows.createFailure = WindowFailure::CreateContext;
    EXPECT_EQ(CreateGLWindow(kWindowTitle, 800, 600, 32, false).outcome, Outcome::WindowFailed);
    ASSERT_EQ(system.fake.messages.size(), 1u);
    EXPECT_EQ(system.fake.messages[0].text, "Can't Create A GL Rendering Context.");
    EXPECT_EQ(system.fake.messages[0].caption, "ERROR");
    EXPECT_EQ(system.fake.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(windows.releases, 1);
}

TEST_F(StartUp, NoOffscreenSurfaceEndsSilently) {
    windows.offscreenWorks = false;
    EXPECT_EQ(CreateGLWindow(kWindowTitle, 800, 600, 32, false).outcome, Outcome::NoOffscreenSurface);
    EXPECT_TRUE(system.fake.messages.empty());
}

TEST_F(StartUp, AcceptedWindowedModeClearsFullscreen) {
    system.fake.nextAnswer = MessageAnswer::Yes;
    // The Demo's Init needs the show's data; an empty folder ends at the first texture's box.
    EXPECT_EQ(CreateGLWindow(kWindowTitle, 800, 600, 32, true).outcome, Outcome::TextureMissing);
    EXPECT_FALSE(appState().fullscreen);
    EXPECT_EQ(windows.windowsCreated, 1);
    ASSERT_EQ(system.fake.messages.size(), 2u);
    EXPECT_EQ(system.fake.messages[1].text, "textures/blob41b.jpg");
    EXPECT_EQ(system.fake.messages[1].caption, "Jpg");
}
