// The animation pass: the skeleton below the selected root, sampled once per frame, as a VLA file
// and its information text.
#include <string>

#include "plugin/exporter.h"

namespace vlo {
std::string InfoFileName(const std::string& outputPath, const char* extension);
}

BOOL VloExporter::OpenAnimationFiles(const char* path) {
    const std::string vla = vlo::InfoFileName(path, ".VLA"), txt = vlo::InfoFileName(path, ".TXT");
    if (!anim_.Open(vla, vlo::OutputFile::Mode::Binary, ioFaults)) {
        char message[320];
        std::snprintf(message, sizeof message, "Failed to create the file: Filename: %s", vla.c_str());
        ShowError(message);
        return FALSE;
    }
    if (info_.Open(txt, vlo::OutputFile::Mode::Text, ioFaults)) {
        infoFile = &info_;
        info_.Printf("VLA (Animation) Output Information\n\n");
        info_.Printf("VLA File:  %s\n", vla.c_str());
        info_.Printf("This File: %s\n\n", txt.c_str());
    }
    return TRUE;
}

void VloExporter::ReadAnimationRange() {
    numFrames = 0;
    frameStep = 1;
    const Interval range = pxInterface->GetAnimRange();
    startTime = range.Start();
    endTime = range.End();
    if (startTime == endTime) {
        ShowError("No animation interval to export");
        return;
    }
    startFrame = startTime / pxInterface->GetTicksPerFrame();
    endFrame = endTime / pxInterface->GetTicksPerFrame();
    numFrames = endFrame - startFrame + 1;
    if (numFrames <= 0) {  // an end before the start: nothing to sample
        ShowError("No animation interval to export");
        numFrames = 0;
    }
}

void VloExporter::FillAnimationHeader() {
    animHeader = vlo::AnimationHeader{};
    animHeader.numBones = std::uint32_t(numBones);
    animHeader.numFrames = std::uint32_t(numFrames);
    animHeader.frameRate = pxInterface->GetFrameRate();
    animHeader.numMarkers = std::uint32_t(markerNodes.size());
}

void VloExporter::FinishAnimationFiles(bool good) {
    // Both files are complete before either replaces what was at its name; a failed export
    // leaves neither (the host plug-in left an empty VLA and a partial text behind).
    bool written = false;
    if (good && !exportFailed) {
        const bool infoGood = !infoFile || infoFile->Finish();
        const bool animGood = anim_.Finish();
        written = infoGood && animGood && anim_.Publish();
        if (!written) {
            ShowError(("Failed to write the file: " + (!animGood || infoGood ? anim_.Target() : info_.Target())).c_str());
        } else if (infoFile && !infoFile->Publish()) {
            ShowError(("Failed to write the file: " + info_.Target()).c_str());
            written = false;
        }
    }
    anim_.Discard();
    info_.Discard();
    infoFile = nullptr;
    filesWritten = written;
}

void VloExporter::ExportAnimation(const char* path) {
    ComputeWorldScale();
    if (!OpenAnimationFiles(path)) return;
    BuildBoneList();
    if (numBones == 0) {
        ShowError("Failed to create internal bone structure");
        return FinishAnimationFiles(false);
    }
    WriteBoneList();
    ReadAnimationRange();
    if (numFrames == 0) return FinishAnimationFiles(false);
    FillAnimationHeader();
    ComputeRootRotationBase();
    SampleRootPositions();
    SampleRootRotations();
    SampleBoneKeys();
    SampleMarkerTracks();
    BuildFrameFlags();
    WriteAnimationFile();
    FinishAnimationFiles(true);
}
