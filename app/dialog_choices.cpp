#include "app/dialog_choices.h"

#include "ui/controls.h"

namespace app {

void QueueDialogs(standin::Desktop& desktop, const DialogChoices& c) {
    if (c.soundFile) desktop.QueueOpenFile(*c.soundFile);
    desktop.QueueScript(IDD_EXPORT_OPTIONS, [c](standin::DialogDriver& d) {
        d.Click(ui::ControlOf(c.mode));
        if (c.origin) d.Click(ui::ControlOf(*c.origin));
        if (c.swapYZ) d.SetCheck(IDC_SWAP_YZ, *c.swapYZ);
        if (c.scale) d.Click(ui::ControlOf(*c.scale));
        d.SetCheck(IDC_NO_COLLISIONS, c.noCollisions);
        d.SetCheck(IDC_SEMI_TRANSPARENT, c.semiTransparent);
        d.SetCheck(IDC_EXPORT_BUMP, c.bump);
        d.SetCheck(IDC_EXPORT_SPECULAR, c.specular);
        if (c.soundFile) d.Click(IDC_SELECT_SOUND);
        if (c.removeAllMarkers) {
            d.SelectItems(IDC_MARKER_LIST, d.Items(IDC_MARKER_LIST));
            d.Click(IDC_REMOVE_MARKERS);
        } else if (!c.removeMarkers.empty()) {
            d.SelectItems(IDC_MARKER_LIST, c.removeMarkers);
            d.Click(IDC_REMOVE_MARKERS);
        }
        if (!c.addMarkers.empty()) d.Click(IDC_ADD_MARKER);
        if (c.zeroRootRotation) d.SetCheck(IDC_ZERO_ROOT_ROTATION, *c.zeroRootRotation);
        if (!c.keyFrames.empty()) d.Click(IDC_EDIT_KEYFRAMES);
        d.Click(c.cancel ? IDCANCEL : IDOK);
    });
    if (!c.keyFrames.empty())
        desktop.QueueScript(IDD_KEYFRAME_FLAGS, [frames = c.keyFrames](standin::DialogDriver& d) {
            for (const auto& [slot, frame] : frames) {
                const ui::KeyFrameControls controls = ui::ControlsOfKeyFrame(slot);
                d.SetCheck(controls.check, true);
                d.Type(controls.edit, std::to_string(frame));
            }
            d.Click(IDOK);
        });
    if (!c.addMarkers.empty())
        desktop.QueueScript(IDD_MARKER_SELECT, [names = c.addMarkers](standin::DialogDriver& d) {
            d.SelectItems(IDC_MARKER_CANDIDATES, names);
            d.Click(IDOK);
        });
}

}  // namespace app
