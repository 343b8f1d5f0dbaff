// Helpers shared by the tests: scenes built in the stand-in host, dialog scripts that set the
// export options as a user would, and exports read back with the reader.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/dialog_choices.h"
#include "app/plugin_host.h"
#include "format/vlo_reader.h"

namespace support {

// A folder removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// A box on the ground: x and y from -size/2 to size/2, z from 0 to size.z. Eight vertices, twelve
// triangles (two per side, sides in the order -z, +z, -y, +x, +y, -x). sixGroups: each side its own
// smoothing group; else all in group 1. mapped: each side's quad mapped to the unit square. Side s
// gets material id matIds[s] when given.
standin::Node& AddBox(standin::Scene& scene, const std::string& name, const Point3& size, bool sixGroups,
                      bool mapped, standin::Node* parent = nullptr, const std::vector<MtlID>& matIds = {});

// A unit quad in the XY plane at z = 0, normal +Z, mapped with u along +x and v (before the file's
// flip) along -y, so that exported v grows with y. mirrorU mirrors the mapping in u.
standin::Node& AddQuad(standin::Scene& scene, const std::string& name, bool mirrorU = false);

// The options a user sets in the export options dialog before pressing OK.
using Options = app::DialogChoices;
// Shape options with "Origin at World Origin" and the given axis swap.
Options WorldOrigin(bool swap = false);

struct Exported {
    app::ExportOutcome outcome;
    bool exists = false;
    std::vector<std::uint8_t> bytes;
    vlo::VloReadResult file;
    std::string text;  // the information file, "" when absent

    std::vector<std::string> Texts(const std::string& caption = "Error") const;
};
Exported Export(standin::Scene& scene, const std::string& path, const Options& options = {},
                vlo::IoFaultPlan* faults = nullptr);
Exported Export(standin::Scene& scene, standin::Desktop& desktop, const std::string& path,
                vlo::IoFaultPlan* faults = nullptr);

// Pins the creation time the exports run on desktop write into their information text (seconds since
// 1970, UTC), so that identical inputs give identical bytes.
void PinClock(standin::Desktop& desktop, long long secondsSince1970);

// Fails each file operation of an export in turn (export(plan) runs it with the fault plan; count is
// the number of operations of a good export) and checks the outcome: a failing data file leaves the
// previous data and text files as they were and says "Failed to write the file"; a failing text
// leaves the new data file beside the previous text, with a warning. data and text name the files
// and hold "previous data" and "previous text" before each run.
void CheckEveryFailingOperation(long count, const std::string& data, const std::string& text,
                                const std::function<Exported(vlo::IoFaultPlan&)>& exportWith);

std::string ReadText(const std::string& path);
bool Exists(const std::string& path);
// Files in the folder, names only, sorted.
std::vector<std::string> ListDir(const std::string& path);

}  // namespace support
