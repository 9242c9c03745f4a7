#include "tools/preview/preview_overlay.h"

#include <imgui.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

#include "production/frame_step.h"
#include "scenes/timetable.h"
#include "tools/preview/frame_times.h"
#include "tools/preview/preview_controls.h"
#include "tools/preview/shader_watch.h"

namespace ostravel {

namespace {

constexpr float kLaneHeight = 15.0f;
constexpr int kLogLines = 6;  // of a shader's log in the overlay
constexpr ImGuiWindowFlags kPanel = ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove |
                                    ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoFocusOnAppearing |
                                    ImGuiWindowFlags_NoNav;

// Sections overlap: each goes into the first lane free by its start (the table is in order of
// starts).
struct Lanes {
    std::array<int, kTimetable.size()> of{};
    int count = 0;
};

Lanes timetableLanes() {
    Lanes lanes;
    std::array<double, kTimetable.size()> freeFrom{};
    for (size_t s = 0; s < kTimetable.size(); ++s) {
        int lane = 0;
        while (lane < lanes.count && freeFrom[size_t(lane)] > kTimetable[s].start) ++lane;
        lanes.of[s] = lane;
        freeFrom[size_t(lane)] = kTimetable[s].end;
        lanes.count = std::max(lanes.count, lane + 1);
    }
    return lanes;
}

ImU32 sectionColour(size_t s, bool current) {
    const float hue = float(s) / float(kTimetable.size());
    ImVec4 c;
    ImGui::ColorConvertHSVtoRGB(hue, current ? 0.75f : 0.5f, current ? 0.95f : 0.6f, c.x, c.y, c.z);
    c.w = 0.9f;
    return ImGui::ColorConvertFloat4ToU32(c);
}

struct PlotSource {
    const FrameTimes* times;
    bool gl;
};

float plotValue(void* data, int index) {
    const PlotSource& p = *static_cast<const PlotSource*>(data);
    const FrameTimeSample& s = p.times->recent()[size_t(index)];
    return p.gl ? s.glMs : s.cpuMs;
}

void statusPanel(const OverlayView& v) {
    ImGui::SetNextWindowPos(ImVec2(8, 8));
    ImGui::SetNextWindowBgAlpha(0.65f);
    ImGui::Begin("status", nullptr, kPanel | ImGuiWindowFlags_AlwaysAutoResize);
    const PreviewControls& c = v.controls;
    const char* state = v.atEnd ? "at the end" : c.paused ? "paused" : "playing";
    if (v.musicHeard) ImGui::Text("%8.3f s   %s at %gx   music at %.3f s", v.showTime, state, c.speed, v.musicTime);
    else ImGui::Text("%8.3f s   %s at %gx   music off", v.showTime, state, c.speed);
    const size_t section = currentSection(v.showTime);
    if (section < kTimetable.size()) ImGui::Text("section: %s", kTimetable[section].name);
    if (c.loopMarks == 1) ImGui::Text("loop: A at %.3f s (L marks B)", c.loopA);
    if (c.loopMarks == 2) ImGui::Text("loop: %.3f s to %.3f s", c.loopA, c.loopB);
    if (c.typing) ImGui::Text("go to: %s_ s (Enter)", c.typed.c_str());

    const int samples = int(v.times.recent().size());
    float top = 33.0f;
    for (const FrameTimeSample& s : v.times.recent()) top = std::max({top, s.cpuMs, s.glMs});
    PlotSource cpu{&v.times, false}, gl{&v.times, true};
    ImGui::PlotLines("CPU ms", plotValue, &cpu, samples, 0, nullptr, 0.0f, top, ImVec2(320, 48));
    ImGui::PlotLines("GL ms", plotValue, &gl, samples, 0, nullptr, 0.0f, top, ImVec2(320, 48));
    if (samples > 0) {
        const FrameTimeSample& last = v.times.recent().back();
        ImGui::Text("last %.1f s: %d frames, 0 to %.0f ms; this frame CPU %.1f, GL %.1f ms",
                    FrameTimes::kWindowSeconds, samples, top, last.cpuMs, last.glMs);
    }
    if (section < kTimetable.size() && v.times.sectionFrames(section) > 0) {
        const FigureSummary f = v.times.sectionFigures(section);
        ImGui::Text("%s: median %.1f ms, p99 %.1f ms (%zu frames)", kTimetable[section].name, f.median, f.p99,
                    v.times.sectionFrames(section));
    }
    if (v.lastJumpSeconds > 0.0) ImGui::Text("last jump: %.2f s", v.lastJumpSeconds);
    if (!v.saved.empty()) ImGui::Text("saved %s", v.saved.c_str());
    if (v.watch) {
        bool any = false;
        for (const WatchedShader& s : v.watch->shaders()) {
            if (s.problem.empty()) continue;
            any = true;
            ImGui::PushStyleColor(ImGuiCol_Text, ImVec4(1.0f, 0.45f, 0.4f, 1.0f));
            ImGui::Text("%s (the program in use stays):", s.name.c_str());
            // A compiler may list every overload it tried: the first lines say what is wrong.
            size_t end = 0;
            int lines = 0;
            while (end < s.problem.size() && lines < kLogLines) {
                const size_t next = s.problem.find('\n', end);
                end = next == std::string::npos ? s.problem.size() : next + 1;
                ++lines;
            }
            ImGui::PushTextWrapPos(620.0f);
            ImGui::TextUnformatted(s.problem.data(), s.problem.data() + end);
            ImGui::PopTextWrapPos();
            if (end < s.problem.size()) ImGui::Text("(the rest of the log on standard error)");
            ImGui::PopStyleColor();
        }
        if (!any) ImGui::TextDisabled("shaders: %s", v.watch->folder().c_str());
    }
    ImGui::TextDisabled("Space pause  Left/Right 5 s  PgDn/PgUp 30 s  Home  G time Enter  L loop  [ ] speed");
    ImGui::TextDisabled("F12 save frame  Tab overlay  Esc quit");
    ImGui::End();
}

std::optional<double> timeline(const OverlayView& v) {
    static const Lanes lanes = timetableLanes();
    const ImVec2 display = ImGui::GetIO().DisplaySize;
    const float height = float(lanes.count) * kLaneHeight + 10.0f;
    ImGui::SetNextWindowPos(ImVec2(0, display.y - height));
    ImGui::SetNextWindowSize(ImVec2(display.x, height));
    ImGui::SetNextWindowBgAlpha(0.7f);
    ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(4, 5));
    ImGui::Begin("timeline", nullptr, kPanel);
    ImGui::PopStyleVar();
    const ImVec2 origin = ImGui::GetCursorScreenPos();
    const float width = std::max(1.0f, display.x - 8.0f);
    const auto x = [&](double t) { return origin.x + float(std::clamp(t / kShowLength, 0.0, 1.0)) * width; };
    ImDrawList* draw = ImGui::GetWindowDrawList();
    const size_t current = currentSection(v.showTime);
    for (size_t s = 0; s < kTimetable.size(); ++s) {
        const float y = origin.y + float(lanes.of[s]) * kLaneHeight;
        const ImVec2 a(x(kTimetable[s].start), y), b(x(kTimetable[s].end) - 1.0f, y + kLaneHeight - 2.0f);
        draw->AddRectFilled(a, b, sectionColour(s, s == current), 3.0f);
        draw->PushClipRect(a, b, true);
        draw->AddText(ImVec2(a.x + 3.0f, a.y), IM_COL32(10, 10, 10, 255), kTimetable[s].name);
        draw->PopClipRect();
    }
    const float bottom = origin.y + float(lanes.count) * kLaneHeight;
    const PreviewControls& c = v.controls;
    if (c.loopMarks >= 1) draw->AddLine(ImVec2(x(c.loopA), origin.y), ImVec2(x(c.loopA), bottom), IM_COL32(80, 255, 80, 255), 2.0f);
    if (c.loopMarks == 2) {
        draw->AddRectFilled(ImVec2(x(c.loopA), origin.y), ImVec2(x(c.loopB), bottom), IM_COL32(80, 255, 80, 50));
        draw->AddLine(ImVec2(x(c.loopB), origin.y), ImVec2(x(c.loopB), bottom), IM_COL32(80, 255, 80, 255), 2.0f);
    }
    draw->AddLine(ImVec2(x(v.showTime), origin.y - 3.0f), ImVec2(x(v.showTime), bottom + 3.0f), IM_COL32(255, 255, 255, 255), 2.0f);

    std::optional<double> clicked;
    ImGui::InvisibleButton("timeline", ImVec2(width, bottom - origin.y));
    const double pointed = std::clamp(double(ImGui::GetIO().MousePos.x - origin.x) / width, 0.0, 1.0) * kShowLength;
    if (ImGui::IsItemClicked(ImGuiMouseButton_Left)) clicked = pointed;
    if (ImGui::IsItemHovered()) ImGui::SetTooltip("%.2f s", pointed);
    ImGui::End();
    return clicked;
}

}  // namespace

std::optional<double> drawOverlay(const OverlayView& view) {
    statusPanel(view);
    return timeline(view);
}

}  // namespace ostravel
