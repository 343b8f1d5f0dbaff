// Stand-ins for the host's character-animation components: the biped body controller with its
// export interface.
#pragma once

#include <string>
#include <vector>

#include "host/character.h"
#include "standin/scene.h"

namespace standin {

// A biped's export interface. Figure mode shows the skinning pose: while it is on, the nodes
// registered with SetFigurePose report that pose instead of their animation. Every call is logged.
class BipedExport final : public IBipedExport {
public:
    void BeginFigureMode(int redraw) override;
    void EndFigureMode(int redraw) override;
    void RemoveNonUniformScale(BOOL onOff) override;

    // The local transform node shows in figure mode.
    void SetFigurePose(Node& node, const Matrix3& local);
    bool InFigureMode() const { return figureMode_; }
    bool RemovingNonUniformScale() const { return removeNonUniformScale_; }
    const std::vector<std::string>& Calls() const { return calls_; }

private:
    struct Pose {
        Node* node;
        Matrix3 figure;
        LocalTrackPtr saved;  // the node's animation while figure mode is on
        Matrix3 savedLocal;
    };
    bool figureMode_ = false;
    bool removeNonUniformScale_ = false;
    std::vector<Pose> poses_;
    std::vector<std::string> calls_;
};

// Makes node a biped root: a body controller with (or, with exportInterface null, without) the
// biped export interface.
Controller& MakeBipedRoot(Scene& scene, Node& node, BipedExport* exportInterface);

}  // namespace standin
