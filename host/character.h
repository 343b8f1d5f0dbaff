// The host's character-animation export interfaces that the exporter uses: the biped's.
#pragma once

#include "host/max_types.h"

// Export interface of a biped body controller (interface id I_BIPINTERFACE).
class IBipedExport {
public:
    virtual ~IBipedExport() = default;
    // Shows the skinning (bind) pose until EndFigureMode.
    virtual void BeginFigureMode(int redraw) = 0;
    virtual void EndFigureMode(int redraw) = 0;
    virtual void RemoveNonUniformScale(BOOL onOff) = 0;
};
