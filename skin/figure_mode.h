// A biped's figure mode (the skinning pose) as the export switches it: entered and left through the
// biped's export interface, and remembered, so that nested steps neither enter twice nor leave a
// mode they did not enter.
#pragma once

#include "host/character.h"

namespace vlo {

class FigureMode {
public:
    // biped: the export interface of the skeleton's biped root, or null (no biped: nothing to switch).
    explicit FigureMode(IBipedExport* biped = nullptr) : biped_(biped) {}

    IBipedExport* Biped() const { return biped_; }
    bool Active() const { return active_; }
    // Enters figure mode unless it is active already.
    void Enter() {
        if (!active_ && biped_) biped_->BeginFigureMode(0);
        active_ = true;
    }
    // Leaves figure mode when it is active.
    void Leave() {
        if (active_ && biped_) biped_->EndFigureMode(0);
        active_ = false;
    }

private:
    IBipedExport* biped_;
    bool active_ = false;
};

}  // namespace vlo
