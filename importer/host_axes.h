// A file node's local transform in the host's axes, computed once per node and sample.
#pragma once

#include "host/geom.h"

namespace importer {

// from * (m * rest) * to: a transform m of the file with a static transform rest applied after it,
// turned from the file's axes into the host's (to: file to host, from: its inverse). The result has
// the same bits as those three products, signed zeros and non-finite parts included, so a stored
// output does not depend on which way it was computed.
//
// Below the top of a scene, rest is the identity, and the turn either the identity (a Z-up file) or
// YUpToZUp (a Y-up file). A product with such a turn moves and negates parts, and each of its sums
// adds zeros to the one moved part, which changes no bit where that part is neither zero nor
// infinite nor NaN. So when m's axis rows have no zero or non-finite part and its translation no
// non-finite part, the parts are moved instead of multiplied, and a zero in the translation becomes
// +0, as a zero sum plus the turn's +0 translation does. Any other m, rest or turn takes the three
// products.
class HostAxesTransform {
public:
    HostAxesTransform(const Matrix3& rest, const Matrix3& toHost, const Matrix3& fromHost);
    Matrix3 operator()(const Matrix3& m) const;
    // Whether rest and the turn let parts be moved (for the m that allow it).
    bool MovesParts() const { return turn_ != Turn::Other; }

private:
    enum class Turn { Other, None, YUpToZUp };
    Matrix3 rest_, to_, from_;
    Turn turn_ = Turn::Other;
};

}  // namespace importer
