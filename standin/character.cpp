#include "standin/character.h"

namespace standin {

void BipedExport::BeginFigureMode(int) {
    calls_.push_back("BeginFigureMode");
    if (figureMode_) return;
    figureMode_ = true;
    for (Pose& p : poses_) {
        p.saved = p.node->Track();
        p.savedLocal = p.node->LocalTM(0);
        const Matrix3 figure = p.figure;
        p.node->SetLocalTrack([figure](TimeValue) { return figure; });
    }
}

void BipedExport::EndFigureMode(int) {
    calls_.push_back("EndFigureMode");
    if (!figureMode_) return;
    figureMode_ = false;
    for (Pose& p : poses_) {
        p.node->SetTrack(p.saved);
        if (!p.saved) p.node->SetLocalTM(p.savedLocal);
    }
}

void BipedExport::RemoveNonUniformScale(BOOL onOff) {
    calls_.push_back(std::string("RemoveNonUniformScale(") + (onOff ? "TRUE" : "FALSE") + ")");
    removeNonUniformScale_ = onOff != FALSE;
}

void BipedExport::SetFigurePose(Node& node, const Matrix3& local) {
    poses_.push_back({&node, local, nullptr, Matrix3()});
}

Controller& MakeBipedRoot(Scene& scene, Node& node, BipedExport* exportInterface) {
    auto& controller = scene.Make<Controller>(BIPBODY_CONTROL_CLASS_ID);
    if (exportInterface) controller.SetInterface(I_BIPINTERFACE, static_cast<IBipedExport*>(exportInterface));
    node.SetController(&controller);
    return controller;
}

}  // namespace standin
