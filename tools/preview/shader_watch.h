// Live shaders: the preview watches the show's shader sources and puts each changed one into the
// show's ShaderBank on the next frame (render/shader_bank.h: reloadProgram). A source that does not
// compile leaves the program in use as it is, and its log stays in `problems` (and is printed on
// standard error once per change) until the file compiles again. A file that is missing, empty,
// unreadable or replaced by a folder is a problem of the same kind, never a crash.
//
// A change is a new modification time, size or file (inode) at the path, looked at with one stat
// per file and frame. The program in use is compared by its text: a file saved again unchanged
// reloads nothing.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace ostravel {

struct ShaderBank;

struct WatchedShader {
    std::string name;  // file name, e.g. "fragment_Blur256.cpp"
    int slot;          // program slot in the bank
    int profile;       // kVertexProfile or kFragmentProfile
    std::string inUse; // the source of the program in the slot
    // What the path looked like last time (all zero: not looked at yet, or nothing there).
    struct Look {
        timespec modified{};
        off_t size = 0;
        ino_t file = 0;
        bool regular = false;
        bool operator==(const Look&) const;
    } seen;
    std::string problem;  // empty: the file's program is in use
};

class ShaderWatch {
public:
    // Watches `folder`/name for each shader. inUse is read from `showFolder`/name: what the show
    // compiled at start, so that a source that differs from it already is put in on the first look.
    ShaderWatch(std::string folder, std::vector<WatchedShader> shaders, const std::string& showFolder);
    // Looks at every file and reloads those that changed. True when a program changed.
    bool poll(ShaderBank& bank);
    const std::vector<WatchedShader>& shaders() const { return shaders_; }
    const std::string& folder() const { return folder_; }

private:
    std::string folder_;
    std::vector<WatchedShader> shaders_;
};

// The show's three shader programs and their slots (the Demo's: projection pair at 2 and 3, blur
// at 0), for a watch.
std::vector<WatchedShader> showShaders(int projectionSlot, int blurSlot);

}  // namespace ostravel
