// The export driver: one DoExport call from the selection to the published files.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "anim/animation_pass.h"
#include "anim/keyframe_text.h"
#include "core/processors.h"
#include "core/world_scale.h"
#include "format/info_text.h"
#include "format/vla_writer.h"
#include "format/vlo_writer.h"
#include "geometry/material_listing.h"
#include "geometry/model_pass.h"
#include "geometry/origin.h"
#include "geometry/tri_mesh.h"
#include "host/node_walk.h"
#include "plugin/entry.h"
#include "plugin/exporter.h"
#include "ui/dialogs.h"

using vlo::ExportMode;
using vlo::Notice;

namespace {

vlo::Timestamp Now() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

vlo::ExportSpace::Recentring RecentringOf(const vlo::ExportSettings& s) {
    if (s.mode != ExportMode::Shape) return vlo::ExportSpace::Recentring::None;
    if (s.origin == vlo::OriginMode::Center) return vlo::ExportSpace::Recentring::Centre;
    if (s.origin == vlo::OriginMode::Base) return vlo::ExportSpace::Recentring::Base;
    return vlo::ExportSpace::Recentring::None;
}

// The first bytes of the regular file at path, as many as the longer title of an information text;
// "" when no regular file is there (a folder is refused when the file is opened); none when the file
// cannot be read, so what it holds is not known.
std::optional<std::string> FileStart(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return "";
    std::string start(std::max(vlo::kModelTextTitle.size(), vlo::kAnimationTextTitle.size()), '\0');
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    file.read(start.data(), std::streamsize(start.size()));
    if (file.bad()) return std::nullopt;
    start.resize(std::size_t(file.gcount()));
    return start;
}

}  // namespace

INode* VloExporter::SelectedNode() const {
    return host_ ? FindBelow(host_->GetRootNode(), [](INode* n) { return n->Selected() != 0; }) : nullptr;
}

void VloExporter::Messages::Report(const Notice& notice) {
    exporter_.outcome_.notices.push_back(notice);
    MessageBoxA(exporter_.host_ ? exporter_.host_->GetMAXHWnd() : nullptr, notice.text.c_str(), notice.caption.c_str(),
                notice.style);
}

int VloExporter::DoExport(const char* name, ExpInterface*, Interface* ip, BOOL, DWORD) {
    host_ = ip;
    INode* root = ip->GetRootNode();
    INode* selected = SelectedNode();
    if (!selected) {
        messages_.Report(Notice::Stop("No model selected. Please select the model and try again"));
        return FALSE;
    }

    // Every dummy object among the scene root's children is a marker candidate and, by default, a marker.
    const int numChildren = root->NumberOfChildren();
    for (int i = 0; i < numChildren; ++i) {
        if (ip->GetCancel()) return FALSE;
        INode* child = root->GetChildNode(i);
        if (IsDummy(*child)) {
            dummyNodes.push_back(child);
            settings.markers.push_back(child);
        }
    }

    MSTR userProps;
    selected->GetUserPropBuffer(userProps);
    vlo::ReadKeyFrameFlags(userProps, settings.keyFrames);

    const INT_PTR result = DialogBoxParamA(VloModuleHandle(), IDD_EXPORT_OPTIONS, ip->GetMAXHWnd(),
                                           ExportOptionsDlgProc, reinterpret_cast<LPARAM>(this));
    if (result == 0) return TRUE;
    // A path that does not fit the 260-byte path fields is refused rather than cut, so that no file is
    // ever written under a name the user did not choose.
    if (std::strlen(name) > vlo::kMaxPathChars) {
        messages_.Report(Notice::Stop("The output path is too long (" + std::to_string(std::strlen(name)) +
                                      " characters; at most " + std::to_string(vlo::kMaxPathChars) +
                                      " are supported). Nothing was exported: " + name));
        return TRUE;
    }
    RunExport(name);
    return TRUE;
}

void VloExporter::RunExport(const std::string& path) {
    INode* node = SelectedNode();
    vlo::SkinSource skin;
    if (settings.mode == ExportMode::Hierarchy) {
        auto prepared = vlo::PrepareSkin(*host_, *node, messages_);
        if (!prepared.Ok()) return messages_.Report(prepared.Failure());
        skin = *prepared;
    } else if (settings.mode == ExportMode::Animation) {
        auto prepared = vlo::PrepareBiped(node);
        if (!prepared.Ok()) return messages_.Report(prepared.Failure());
        skin.skeleton = *prepared;
    }

    // A skinned model is read with the biped in figure mode for the whole pass; an animation takes it
    // into figure mode and straight out, so the pass samples the animation. Non-uniform scale removal
    // is on for the pass only.
    IBipedExport* biped = skin.skeleton.biped;
    figure_ = vlo::FigureMode(biped);
    if (biped) {
        if (settings.mode == ExportMode::Hierarchy) {
            figure_.Enter();
        } else if (settings.mode == ExportMode::Animation) {
            figure_.Enter();
            figure_.Leave();
        }
        biped->RemoveNonUniformScale(TRUE);
    }

    if (settings.mode == ExportMode::Animation)
        ExportAnimation(*node, path);
    else
        ExportModel(*node, settings.mode == ExportMode::Hierarchy ? &skin : nullptr, path);
    // A pass that stopped leaves no temporary file behind.
    if (!outcome_.held) {
        data_.Discard();
        text_.Discard();
    }

    if (biped) {
        biped->RemoveNonUniformScale(FALSE);
        if (settings.mode == ExportMode::Hierarchy) figure_.Leave();
    }
}

void VloExporter::ExportModel(INode& node, const vlo::SkinSource* skin, const std::string& path) {
    const TimeValue t = 0 * host_->GetTicksPerFrame();
    const Point3 origin =
        vlo::ComputeOrigin(node, settings.mode, settings.origin, skin ? skin->skeleton.root : nullptr, t, messages_);
    const float worldScale = vlo::ComputeWorldScale(*host_, settings.scale, messages_);

    vlo::TriMeshHandle tri;
    switch (tri.Obtain(&node, t)) {
        case vlo::TriMeshStatus::ObjectStateFailure: return messages_.Report(Notice::Stop("Error with Object State"));
        case vlo::TriMeshStatus::ConversionFailure: return messages_.Report(Notice::Stop("Failed to obtain a tri object"));
        case vlo::TriMeshStatus::Ok: break;
    }
    Mesh& mesh = tri.GetMesh();
    mesh.RemoveDegenerateFaces();
    mesh.RemoveIllegalFaces();
    mesh.buildNormals();

    const auto textures = vlo::CollectTextures(node, settings, messages_);
    if (!textures.Ok()) return messages_.Report(textures.Failure());

    const std::string textPath = vlo::SiblingFileName(path, ".TXT");
    if (!OpenFiles(path, textPath, "Failed to create the file: ")) return;

    const vlo::ExportSpace space(origin, worldScale, settings.swapYZ, RecentringOf(settings));
    auto model = vlo::BuildModel({node, mesh, t, settings, space, *textures, skin, figure_}, messages_);
    if (!model.Ok()) return messages_.Report(model.Failure());
    model->text.materials = vlo::ListMaterials(vlo::CollectMaterials(host_->GetRootNode()));
    // The model's chunk sizes are patched after their records: it is built whole, then written.
    WriteFiles([&](vlo::StreamSink& data) {
                   const std::vector<std::uint8_t> bytes = vlo::EncodeVlo(*model);
                   data.Write(bytes.data(), bytes.size());
               },
               [&](vlo::TextWriter& text) { vlo::WriteModelText(*model, path, textPath, Now(), text); });
    if (outcome_.written || outcome_.held) outcome_.model = std::move(*model);
}

void VloExporter::ExportAnimation(INode& root, const std::string& path) {
    const float worldScale = vlo::ComputeWorldScale(*host_, settings.scale, messages_);
    const std::string dataPath = vlo::AnimationFileName(path), textPath = vlo::SiblingFileName(path, ".TXT");
    if (!OpenFiles(dataPath, textPath, "Failed to create the file: Filename: ")) return;

    auto animation = vlo::BuildAnimation({*host_, settings, &root, worldScale, figure_}, messages_);
    if (!animation.Ok()) return messages_.Report(animation.Failure());
    WriteFiles([&](vlo::StreamSink& data) { vlo::WriteVla(*animation, data); },
               [&](vlo::TextWriter& text) { vlo::WriteAnimationText(*animation, dataPath, textPath, text); });
    if (outcome_.written || outcome_.held) outcome_.animation = std::move(*animation);
}

bool VloExporter::OpenFiles(const std::string& dataPath, const std::string& textPath, const std::string& failure) {
    if (!data_.Open(dataPath, ioFaults)) {
        messages_.Report(Notice::Stop(failure + dataPath + " (" + data_.Error() + ")"));
        return false;
    }
    // The information file goes beside the data file, but a file of the user's at its name (notes
    // that happen to share it) is never replaced: only an earlier export's text, or an empty file.
    if (const std::optional<std::string> start = FileStart(textPath); !start || !vlo::MayReplaceWithText(*start)) {
        messages_.Report(Notice::Warning("The information file " + textPath +
                                         " is not written: a file of that name holds other text, left as it is "
                                         "(move it, or name another output); the export goes on without it"));
        hasText_ = false;
        return true;
    }
    hasText_ = text_.Open(textPath, ioFaults);
    if (!hasText_) WarnTextLeftOut(textPath, "cannot be created");
    return true;
}

void VloExporter::WarnTextLeftOut(const std::string& textPath, const char* what) {
    messages_.Report(Notice::Warning("The information file " + textPath + " " + what + " (" + text_.Error() +
                                     "); the export goes on without it"));
}

void VloExporter::WriteFiles(const std::function<void(vlo::StreamSink&)>& writeData,
                             const std::function<void(vlo::TextWriter&)>& writeText) {
    // Both files are complete on disk before either replaces what was at its name, so a failure
    // leaves the previous files untouched and no partial output. Both go to their temporary files in
    // blocks as they are made; a failed write fails the rest. The disk takes the data file while the
    // text is made: finishing it waits for the disk.
    vlo::StreamSink data([this](const void* bytes, std::size_t size) { data_.Write(bytes, size); });
    writeData(data);
    data.Flush();
    data_.StartWriteback();
    if (hasText_ && data_.Error().empty()) {  // no text for a data file that failed already
        vlo::TextWriter text([this](std::string_view block) { text_.Write(block); });
        // The long runs of lines of a large model are formatted on every processor there is.
        if (const unsigned threads = vlo::AvailableProcessors(); threads > 1)
            text.SpreadLinesWith([threads](std::size_t count, const std::function<void(std::size_t)>& work) {
                vlo::ForEachIndex(count, threads, work);
            });
        writeText(text);
    }
    if (!data_.Finish()) {  // RunExport removes both temporary files
        messages_.Report(Notice::Stop("Failed to write the file: " + data_.Target() + " (" + data_.Error() + ")"));
        return;
    }
    if (hasText_ && !text_.Finish()) {
        WarnTextLeftOut(text_.Target(), "could not be written");
        hasText_ = false;
    }
    outcome_.held = true;
    if (!holdFiles) PublishHeldFiles();
}

bool VloExporter::PublishHeldFiles() {
    if (!outcome_.held) return false;
    outcome_.held = false;
    if (!data_.Publish()) {
        messages_.Report(Notice::Stop("Failed to write the file: " + data_.Target() + " (" + data_.Error() + ")"));
        text_.Discard();
        return false;
    }
    outcome_.written = true;
    outcome_.files.push_back(data_.Target());
    if (!hasText_) return true;
    if (text_.Publish())
        outcome_.files.push_back(text_.Target());
    else
        WarnTextLeftOut(text_.Target(), "could not be written");
    return true;
}

void VloExporter::DiscardHeldFiles() {
    outcome_.held = false;
    data_.Discard();
    text_.Discard();
}
