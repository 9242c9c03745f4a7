// Every outcome the loaders, the frame step and the window report, through the one table to the
// message box and exit status the user sees.
#include <filesystem>

#include "app/outcomes.h"
#include "assets/texture_bank.h"
#include "tests/support/shell_fixture.h"

using namespace ostravel;
using ostravel::testing::ShellTest;

using Outcomes = ShellTest;

TEST_F(Outcomes, EachOutcomeHasItsBoxAndStatus) {
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    TextureBank bank;
    struct Case {
        const char* label;
        std::function<OutcomeReport()> happen;
        const char* caption;  // nullptr: no box
        std::string text;
        MessageIcon icon;
        int status;
    };
    constexpr MessageIcon kInfo = MessageIcon::Information, kWarn = MessageIcon::Exclamation;
    const Case cases[] = {
        {"texture file missing", [&] { return outcomeOf(loadTexture(bank, nullptr, "no/such.jpg", 10)); }, "Jpg",
         "no/such.jpg", kInfo, 0},
        {"colour picture missing",
         [&] { return outcomeOf(loadTextureWithAlpha(bank, nullptr, "no/c.jpg", "no/a.jpg", 13)); }, "Jpg !",
         "no/c.jpg", kInfo, 0},
        {"height picture missing", [&] { return outcomeOf(loadNormalMap(bank, "no/h.jpg", 60)); }, "Jpg !",
         "no/h.jpg", kInfo, 0},
        {"undecodable picture", [] { return outcomeOf(TextureResult{TextureError::NotDecodable, "t.jpg"}); },
         "Jpg !", "t.jpg", kInfo, 0},
        {"no sound device",
         [] {
             FakeSound sound;
             sound.initWorks = false;
             return outcomeOf(loadMusic(sound));
         },
         "Project effect 3. Festrum !  ", "Problem initializing FMod. \nProgram will now exit.", kInfo, 1},
        {"no sound file",
         [] {
             FakeSound sound;
             sound.loadWorks = false;
             return outcomeOf(loadMusic(sound));
         },
         "KVR Ostravel  ", "Problem initializing FMod. \nNo sound file.", kInfo, 0},
        {"music loads", [] { FakeSound sound; return outcomeOf(loadMusic(sound)); }, nullptr, "", kInfo, 0},
        {"no display", [] { return outcomeOf(WindowFailure::RegisterClass); }, "ERROR",
         "Failed To Register The Window Class.", kWarn, 0},
        {"no pixel format", [] { return outcomeOf(WindowFailure::ChoosePixelFormat); }, "ERROR",
         "Can't Find A Suitable PixelFormat.", kWarn, 0},
        {"no fragment programs", [] { return OutcomeReport{Outcome::NoFragmentPrograms}; }, "  = Ostravel. KVR 2006 = ",
         "Graphics card does not support fragment programs. \n \nCards supported are: \n-------------------------- \n"
         " NVidia Geforce FX+ \n Radeon 9500+ \n \n The demo will NOT play properly \n Proceed at your own risk.",
         kInfo, 0},
        {"no off-screen surface",
         [this] {
             windows.offscreenWorks = false;
             return CreateGLWindow(kWindowTitle, 800, 600, 32, false);
         },
         nullptr, "", kInfo, 0},
        {"show over",
         [this] {
             appState().musicEnabled = false;
             appState().demoTime = 195.49;
             advance(0.02);
             return outcomeOf(FrameStep());
         },
         nullptr, "", kInfo, 0},
        {"exit fade done",
         [this] {
             appState().musicEnabled = false;
             appState().demoTime = 100.0;
             appState().exitFadeLatched = true;
             appState().exitFadeStart = 98.0;
             advance(0.02);
             return outcomeOf(FrameStep());
         },
         nullptr, "", kInfo, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const OutcomeReport report = c.happen();
        const OutcomeMessage message = outcomeMessage(report);
        EXPECT_EQ(message.status, c.status);
        const size_t before = system.fake.messages.size();
        showOutcome(report);
        if (!c.caption) {
            EXPECT_EQ(system.fake.messages.size(), before) << "no box";
            continue;
        }
        ASSERT_EQ(system.fake.messages.size(), before + 1);
        const RecordedMessage& box = system.fake.messages.back();
        EXPECT_EQ(box.caption, c.caption);
        EXPECT_EQ(box.text, c.text);
        EXPECT_EQ(box.icon, c.icon);
    }
    EXPECT_EQ(system.fake.exitCount, 0) << "nothing below the shell ends the process";
    std::filesystem::current_path(previous);
}
