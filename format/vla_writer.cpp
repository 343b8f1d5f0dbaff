#include "format/vla_writer.h"

namespace vlo {

std::uint64_t VlaAnimation::FileSize() const {
    const AnimationHeader& h = header;
    return sizeof(AnimationHeader) +
           std::uint64_t(h.numFrames) * (sizeof(VlaFrameHeader) + sizeof(BoneKey) * std::uint64_t(h.numBones)) +
           std::uint64_t(h.numMarkers) * (sizeof(VlaMarkerHeader) + sizeof(Vec3) * std::uint64_t(h.numFrames));
}

void WriteVla(const VlaAnimation& a, ByteSink& sink) {
    sink.WriteRecord(a.header);
    const std::size_t bones = a.header.numBones;
    for (std::size_t k = 0; k < a.frames.size(); ++k) {
        sink.WriteRecord(a.frames[k]);
        if (bones != 0) sink.Write(&a.keys[k * bones], sizeof(BoneKey) * bones);
    }
    for (const VlaMarkerTrack& m : a.markers) {
        sink.WriteRecord(m.header);
        if (!m.positions.empty()) sink.Write(m.positions.data(), sizeof(Vec3) * m.positions.size());
    }
}

std::vector<std::uint8_t> EncodeVla(const VlaAnimation& a) {
    MemorySink sink;
    sink.Reserve(std::size_t(a.FileSize()));
    WriteVla(a, sink);
    return sink.Take();
}

}  // namespace vlo
