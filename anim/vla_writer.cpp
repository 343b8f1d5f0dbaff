// The VLA file body and the matching sections of its information text.
#include "plugin/exporter.h"

void VloExporter::WriteAnimationFile() {
    anim_.WriteRecord(animHeader);
    if (infoFile) {
        infoFile->Printf("\n\nHeader\n======\n\n");
        infoFile->Printf("  Num Bones : %d\n", int(animHeader.numBones));
        infoFile->Printf("  Num Frames: %d\n", int(animHeader.numFrames));
        infoFile->Printf("  Frame Rate: %d\n\n", animHeader.frameRate);
    }
    for (int k = 0; k < numFrames; ++k) {
        anim_.WriteRecord(frameFlags[std::size_t(k)]);
        const Point3& p = rootPositions[std::size_t(k)];
        anim_.WriteRecord(vlo::Vec3{p.x, p.y, p.z});
        anim_.WriteRecord(rootRotations[std::size_t(k)]);
        anim_.Write(&boneKeys[std::size_t(k) * std::size_t(numBones)], sizeof(vlo::BoneKey) * std::size_t(numBones));
    }
    for (std::size_t m = 0; m < markerNodes.size(); ++m) {
        char name[vlo::kNameBytes];
        vlo::CopyBounded(name, markerNodes[m]->GetName());
        anim_.Write(name, sizeof name);
        for (const Point3& p : markerTracks[m]) anim_.WriteRecord(vlo::Vec3{p.x, p.y, p.z});
    }
    if (!infoFile) return;
    infoFile->Printf("Flags\n");
    for (int k = 0; k < numFrames; ++k) infoFile->Printf("%03d - %x\n", k, frameFlags[std::size_t(k)]);
    infoFile->Printf("\n\nRoot Pos\n");
    for (int k = 0; k < numFrames; ++k) {
        const Point3& p = rootPositions[std::size_t(k)];
        infoFile->Printf("%03d - %.3f, %.3f, %.3f\n", k, p.x, p.y, p.z);
    }
    infoFile->Printf("\n\nRoot Rot\n");
    for (int k = 0; k < numFrames; ++k) infoFile->Printf("%03d - %.3f\n", k, rootRotations[std::size_t(k)]);
    infoFile->Printf("\n\nMarkers\n\n");
    for (std::size_t m = 0; m < markerNodes.size(); ++m) {
        infoFile->Printf("Marker: %s\n", markerNodes[m]->GetName());
        for (std::size_t k = 0; k < markerTracks[m].size(); ++k) {
            const Point3& p = markerTracks[m][k];
            infoFile->Printf("%03d - %.3f, %.3f, %.3f\n", int(k), p.x, p.y, p.z);
        }
    }
    infoFile->Printf("\n");
}
