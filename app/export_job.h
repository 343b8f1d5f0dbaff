// The library entry point every tool shares: import a scene file, select the object, make the
// dialog choices, export, and give back what happened as data.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/dialog_choices.h"
#include "app/verify.h"
#include "core/notice.h"
#include "format/vla_animation.h"
#include "format/vlo_model.h"
#include "importer/importer.h"

namespace app {

// The tools' version, part of every build cache key.
inline constexpr const char* kVersion = "1.4.0";

// Exit statuses of the tools.
inline constexpr int kExitOk = 0;
inline constexpr int kExitExportFailed = 1;
inline constexpr int kExitUsage = 2;  // bad usage or an unreadable input
inline constexpr int kExitNeedsChoice = 3;  // the input needs a choice: several objects, skeletons or clips

struct KeyFrameRequest {
    int slot = 0;  // vlo::KeyFrameSlot
    int frame = 0;
};

struct ExportRequest {
    std::string input;
    std::string output;
    importer::ImportOptions import;
    std::string select;  // see SelectionRequest
    bool all = false;
    // The export mode; unset: Shape (with a warning when the object is skinned).
    std::optional<vlo::ExportMode> mode;
    DialogChoices choices;  // its mode is replaced by the request's
    // Key frames: typed into the key frame dialog where it can show them, else added to the object's
    // KEYFRAME properties (ADDRESS_BALL, negative frames).
    std::vector<KeyFrameRequest> keyFrames;
    std::optional<long long> createdAt;  // pins the information text's creation time (seconds, UTC)
    std::string extractTexturesTo;       // a folder for the images embedded in the scene file; "" for none
    bool force = false;   // allow an output whose extension is not .VLO or .VLA
    bool strict = false;  // any warning fails the export, and nothing is written
    // Read the written file back and compare it with the scene before it is published; past the
    // tolerances the export fails and nothing is written.
    bool verify = false;
    Tolerances tolerances;
    // Import, select and resolve the clip, then stop: nothing is exported or written.
    bool dryRun = false;
};

// One thing the user is told. An error means the export failed and nothing was written; everything
// after which the export went on is a warning, whatever the caption of the plug-in's message box.
struct Diagnostic {
    enum class Level { Error, Warning };
    Level level = Level::Error;
    std::string text;         // the message as the plug-in shows it
    std::string explanation;  // what it means in a Blender or FBX user's words; "" when the text says it
    std::string object;       // the scene object it concerns; "" when the text says all
    int repeats = 1;          // identical diagnostics in a row are counted, not repeated
};

struct ExportResult {
    int status = kExitOk;
    std::vector<Diagnostic> diagnostics;  // in the order they happened
    std::vector<std::string> files;       // written, data file first
    std::vector<std::string> usedFiles;   // the scene file and the files it references (absolute, sorted)
    std::string object;                   // the exported object
    importer::SceneInfo scene;
    int firstFrame = 0, lastFrame = 0;    // the exported frames of an animation
    std::optional<vlo::VloModel> model;
    std::optional<vlo::VlaAnimation> animation;
    Verification verification;  // with ExportRequest::verify
    double importSeconds = 0, exportSeconds = 0, verifySeconds = 0;

    // How many of the diagnostics are warnings (a repeated one counts once).
    std::size_t Warnings() const;
};

// The files an export of output writes: the data file, which is the output named (an animation's
// output is a .VLA file, which the exporter writes as named), and the information file beside it.
std::vector<std::string> OutputFiles(const std::string& output);

// Runs one export as a user would, end to end. Never throws for bad input: the status and the
// diagnostics say what went wrong.
ExportResult ExportFile(const ExportRequest& request);

// How a diagnostic reads as one line: "error: " or "warning: ", the text, its explanation, the object
// and the count.
std::string FormatDiagnostic(const Diagnostic& d);

}  // namespace app
