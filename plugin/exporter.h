// VloExporter: the plug-in's exporter object, the host's SceneExport. One object serves one export:
// DoExport finds the selection and the marker candidates, reads the key frames, shows the options
// dialog (which edits settings), then runs the pass the chosen mode asks for and publishes its files.
// The passes are functions over plain data (geometry/, anim/); this class orchestrates them, shows
// their messages in the host's message boxes and keeps what the export made.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/export_settings.h"
#include "core/notice.h"
#include "format/byte_sink.h"
#include "format/output_file.h"
#include "format/text_writer.h"
#include "format/vla_animation.h"
#include "format/vlo_model.h"
#include "host/plugin.h"
#include "skin/figure_mode.h"
#include "skin/skin_source.h"

class VloExporter : public SceneExport {
public:
    VloExporter();
    ~VloExporter() override;

    // SceneExport answers.
    int ExtCount() override;
    const char* Ext(int n) override;
    const char* LongDesc() override;
    const char* ShortDesc() override;
    const char* AuthorName() override;
    const char* CopyrightMessage() override;
    const char* OtherMessage1() override;
    const char* OtherMessage2() override;
    unsigned int Version() override;
    void ShowAbout(HWND hWnd) override;
    // Runs one export to name: selection, markers, key frames, the options dialog, then the pass of the
    // chosen mode. FALSE only when nothing is selected or the user cancels during the marker scan.
    int DoExport(const char* name, ExpInterface* ei, Interface* i, BOOL suppressPrompts = FALSE,
                 DWORD options = 0) override;
    BOOL SupportsOptions(int ext, DWORD options) override;

    // The host interface of the running export (null before DoExport).
    Interface* Host() const { return host_; }
    // The first selected node below the scene root, depth-first; null when none is selected.
    INode* SelectedNode() const;

    // What happened: every message shown (in order), what the pass made and the files published.
    struct Outcome {
        std::vector<vlo::Notice> notices;
        std::optional<vlo::VloModel> model;          // set when a model was made
        std::optional<vlo::VlaAnimation> animation;  // set when an animation was made
        std::vector<std::string> files;              // published, data file first
        bool written = false;                        // the pass published its files
        bool held = false;                           // finished files wait for PublishHeldFiles
    };
    const Outcome& Result() const { return outcome_; }
    // Moves what the pass made out of the exporter, without copying it; Result() then has none.
    std::optional<vlo::VloModel> TakeModel() { return std::exchange(outcome_.model, std::nullopt); }
    std::optional<vlo::VlaAnimation> TakeAnimation() { return std::exchange(outcome_.animation, std::nullopt); }

    // With holdFiles set, a pass that finished its files keeps them (Result().held) instead of
    // publishing them, so that the caller can look at what was made first. PublishHeldFiles puts
    // them in place (false, after a message, when that fails); DiscardHeldFiles removes them. Files
    // still held when the exporter goes are removed.
    bool holdFiles = false;
    bool PublishHeldFiles();
    // The finished data file while it is held: its temporary path ("" when nothing is held).
    std::string HeldDataFile() const { return outcome_.held ? data_.TempPath() : std::string(); }
    void DiscardHeldFiles();

    // The export's choices: the constructor's defaults, edited by the options dialog.
    vlo::ExportSettings settings;
    // Every dummy object among the scene root's children, in child order: the marker candidates.
    std::vector<INode*> dummyNodes;
    // Makes file operations fail on purpose (tests); null in normal use.
    vlo::IoFaultPlan* ioFaults = nullptr;

private:
    // Shows each notice in a message box on the host's main window and logs it.
    class Messages final : public vlo::NoticeSink {
    public:
        explicit Messages(VloExporter& exporter) : exporter_(exporter) {}
        void Report(const vlo::Notice& notice) override;

    private:
        VloExporter& exporter_;
    };

    void RunExport(const std::string& path);
    void ExportModel(INode& node, const vlo::SkinSource* skin, const std::string& path);
    void ExportAnimation(INode& root, const std::string& path);
    // Opens the data file (reporting why it cannot be created) and the information file (warning
    // when it cannot be, or when a file of the user's is at its name: the export goes on without
    // it). False when the data file cannot be created.
    bool OpenFiles(const std::string& dataPath, const std::string& textPath, const std::string& failure);
    // Warns that the information file at textPath is left out (what happened to it, and why).
    void WarnTextLeftOut(const std::string& textPath, const char* what);
    // Writes both files (writeData and writeText write into a sink and a writer that stream to the
    // files); the data file is published, then the text (or held, see holdFiles). A data file that
    // fails is reported and nothing is published; a text that fails is left out, with a warning.
    void WriteFiles(const std::function<void(vlo::StreamSink&)>& writeData,
                    const std::function<void(vlo::TextWriter&)>& writeText);

    Interface* host_ = nullptr;
    Messages messages_{*this};
    vlo::FigureMode figure_;
    Outcome outcome_;
    vlo::OutputFile data_, text_;  // the files of the running pass
    bool hasText_ = false;
};
