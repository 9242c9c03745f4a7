// tools/3ds-info: JSON for a parsed file, exit status 1 for anything else.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "fixtures.h"

namespace ostravel {
namespace {

struct ToolRun {
    int status = -1;
    std::string output;
};

ToolRun runInfo(const std::string& path) {
    ToolRun run;
    const std::string command = std::string(OSTRAVEL_3DS_INFO) + " '" + path + "'";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) run.output.append(chunk, n);
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

TEST(ModelInfoTool, DescribesAParsedFileAndRefusesOthers) {
    const auto dir = std::filesystem::temp_directory_path() / ("ostravel_info_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    File3ds f;
    Material3ds m;
    m.name = "SKIN\"1";
    m.texture1.file = "SKIN.JPG";
    f.materials.push_back(m);
    Mesh3ds mesh = testing3ds::triangleMesh("Head");
    mesh.faceMaterials = {{"SKIN\"1", {0}}};
    mesh.smoothing = {6};
    f.meshes.push_back(mesh);
    Camera3ds c;
    c.name = "Cam";
    c.lens = 0.0f;  // an infinite field of view must still give valid JSON
    f.cameras.push_back(c);
    Node3ds n;
    n.name = "Head";
    f.nodes.push_back(n);
    f.frameEnd = 25;
    const std::string good = (dir / "good.3ds").string();
    ASSERT_TRUE(write3ds(f, good.c_str()));
    const std::string bad = (dir / "bad.3ds").string();
    std::ofstream(bad) << "garbage";

    const ToolRun ok = runInfo(good);
    EXPECT_EQ(ok.status, 0);
    for (const char* expected : {"\"parsed\": true", "\"frameCount\": 25", "\"name\": \"SKIN\\\"1\"",
                                 "\"file\": \"SKIN.JPG\"", "\"vertices\": 3", "\"faces\": 1",
                                 "\"smoothingGroups\": [6]", "\"fieldOfView\": null", "\"positionSamples\": 25"})
        EXPECT_NE(ok.output.find(expected), std::string::npos) << expected << "\n" << ok.output;
    if (std::system("python3 -c 'import json' 2>/dev/null") == 0) {
        std::ofstream(dir / "out.json") << ok.output;
        const std::string check = "python3 -c 'import json,sys; json.load(open(sys.argv[1]))' '" +
                                  (dir / "out.json").string() + "'";
        EXPECT_EQ(std::system(check.c_str()), 0) << ok.output;
    }

    const ToolRun refused = runInfo(bad);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.output.find("\"notA3dsFile\""), std::string::npos);
    EXPECT_EQ(runInfo((dir / "missing.3ds").string()).status, 1);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace ostravel
