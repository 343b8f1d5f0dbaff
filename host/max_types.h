// Plain value types and identifiers of the host SDK: integers, booleans, time, class ids.
// Nothing here has behaviour; every type keeps the SDK's name so exporter code reads like host code.
#pragma once

#include <cstdint>
#include <string>

using BOOL = int;  // 32-bit host boolean: 0 or 1
inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;
using DWORD = std::uint32_t;
using ULONG = std::uint32_t;
using UINT = std::uint32_t;
using MtlID = std::uint16_t;

// Host time in ticks: 4800 ticks per second.
using TimeValue = int;
inline constexpr int TIME_TICKSPERSEC = 4800;

// The host's narrow string (CStr / MSTR).
using MSTR = std::string;
using CStr = std::string;

struct Interval {
    TimeValue start = 0;
    TimeValue end = 0;
    TimeValue Start() const { return start; }
    TimeValue End() const { return end; }
};

class Class_ID {
public:
    constexpr Class_ID() = default;
    constexpr Class_ID(ULONG a, ULONG b) : a_(a), b_(b) {}
    constexpr ULONG PartA() const { return a_; }
    constexpr ULONG PartB() const { return b_; }
    constexpr bool operator==(const Class_ID&) const = default;

private:
    ULONG a_ = 0xFFFFFFFF;
    ULONG b_ = 0xFFFFFFFF;
};

using SClass_ID = ULONG;

// Super class ids.
inline constexpr SClass_ID GEN_DERIVOB_CLASS_ID = 0x2;
inline constexpr SClass_ID GEOMOBJECT_CLASS_ID = 0x10;
inline constexpr SClass_ID SHAPE_CLASS_ID = 0x40;
inline constexpr SClass_ID HELPER_CLASS_ID = 0x50;
inline constexpr SClass_ID OSM_CLASS_ID = 0x810;
inline constexpr SClass_ID CTRL_MATRIX3_CLASS_ID = 0x9008;
inline constexpr SClass_ID MATERIAL_CLASS_ID = 0xC00;
inline constexpr SClass_ID TEXMAP_CLASS_ID = 0xC10;
inline constexpr SClass_ID SCENE_EXPORT_CLASS_ID = 0xA20;

// Class ids the exporter relies on.
inline constexpr Class_ID triObjectClassID{9, 0};
inline constexpr Class_ID DUMMY_CLASS_ID{0x876234, 0};
inline constexpr Class_ID DMTL_CLASS_ID{2, 0};       // standard material
inline constexpr Class_ID MULTI_CLASS_ID{0x200, 0};  // multi/sub-object material
inline constexpr Class_ID BMTEX_CLASS_ID{0x240, 0};  // bitmap texture
inline constexpr Class_ID PHYSIQUE_CLASS_ID{0x100, 0};
inline constexpr Class_ID SKIN_CLASSID{0x95C723, 0x15666};
inline constexpr Class_ID BIPBODY_CONTROL_CLASS_ID{0x9156, 0};
inline constexpr Class_ID FOOTPRINT_CLASS_ID{0x3011, 0};

// Interface ids given to Animatable::GetInterface.
inline constexpr ULONG I_PHYEXPORT = 0x100100;
inline constexpr ULONG I_SKIN = 0x10000;
inline constexpr ULONG I_BIPINTERFACE = 0x100101;

// Standard-material map slots.
inline constexpr int ID_AM = 0;  // ambient
inline constexpr int ID_DI = 1;  // diffuse
inline constexpr int ID_SP = 2;  // specular colour
inline constexpr int ID_SH = 3;  // shininess (glossiness)
inline constexpr int ID_SS = 4;  // shininess strength
inline constexpr int ID_SI = 5;  // self-illumination
inline constexpr int ID_OP = 6;  // opacity
inline constexpr int ID_FI = 7;  // filter colour
inline constexpr int ID_BU = 8;  // bump
inline constexpr int ID_RL = 9;  // reflection
inline constexpr int ID_RR = 10; // refraction
inline constexpr int ID_DP = 11; // displacement
inline constexpr int STD_NUM_SLOTS = 12;

// Bitmap filter types.
inline constexpr int FILTER_PYR = 0;
inline constexpr int FILTER_SAT = 1;
inline constexpr int FILTER_NADA = 2;
