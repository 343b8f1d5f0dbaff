// The animation pass: the skeleton below the selected root, sampled once per frame, as a VLA file
// and its information text.
#include <cmath>
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

void VloExporter::FinishAnimationFiles(bool good) { CommitFiles(anim_, good && !exportFailed); }

// Infinite or undefined transforms in the scene would put NaN into the game's file: refuse them,
// naming the first frame and what is wrong there.
bool VloExporter::SamplesAreFinite() {
    auto finite = [](float v) { return std::isfinite(v); };
    for (int k = 0; k < numFrames; ++k) {
        std::string what;
        const Point3& p = rootPositions[std::size_t(k)];
        if (!IsFinite(p) || !finite(rootRotations[std::size_t(k)])) what = "the root's position or heading";
        for (int b = 0; b < numBones && what.empty(); ++b) {
            const vlo::BoneKey& q = boneKeys[std::size_t(k) * std::size_t(numBones) + std::size_t(b)];
            if (!finite(q.x) || !finite(q.y) || !finite(q.z) || !finite(q.w))
                what = "the rotation of bone '" + vlo::FieldText(bones[std::size_t(b)].name) + "'";
        }
        for (std::size_t m = 0; m < markerTracks.size() && what.empty(); ++m)
            if (!IsFinite(markerTracks[m][std::size_t(k)]))
                what = std::string("the position of marker '") + markerNodes[m]->GetName() + "'";
        if (!what.empty()) {
            const std::string message = "The animation has a non-finite value at frame " + std::to_string(startFrame + k) +
                                        ": " + what + ". Nothing was exported";
            ShowError(message.c_str());
            return false;
        }
    }
    return true;
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
    if (!SamplesAreFinite()) return FinishAnimationFiles(false);
    WriteAnimationFile();
    FinishAnimationFiles(true);
}
