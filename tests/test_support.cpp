#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "format/info_text.h"
#include "format/output_file.h"

namespace fs = std::filesystem;

namespace support {

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "vlo-test-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

standin::Node& AddBox(standin::Scene& scene, const std::string& name, const Point3& size, bool sixGroups, bool mapped,
                      standin::Node* parent, const std::vector<MtlID>& matIds) {
    standin::Node& node = scene.CreateMeshNode(name, parent);
    Mesh& m = standin::Scene::TriOf(node).mesh;
    const float x = size.x / 2, y = size.y / 2, z = size.z;
    m.verts = {{-x, -y, 0}, {x, -y, 0}, {-x, y, 0}, {x, y, 0}, {-x, -y, z}, {x, -y, z}, {-x, y, z}, {x, y, z}};
    // Two triangles per side, wound counter-clockwise seen from outside.
    const DWORD sides[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {1, 3, 7, 5}, {3, 2, 6, 7}, {2, 0, 4, 6}};
    if (mapped) m.tVerts = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    for (int s = 0; s < 6; ++s) {
        const DWORD* q = sides[s];
        for (int half = 0; half < 2; ++half) {
            Face f;
            const int c[3] = {0, half == 0 ? 1 : 2, half == 0 ? 2 : 3};
            for (int k = 0; k < 3; ++k) f.v[k] = q[c[k]];
            f.smGroup = sixGroups ? (1u << s) : 1u;
            f.setMatID(s < int(matIds.size()) ? matIds[std::size_t(s)] : 0);
            m.faces.push_back(f);
            if (mapped) {
                TVFace t;
                for (int k = 0; k < 3; ++k) t.t[k] = DWORD(c[k]);
                m.tvFace.push_back(t);
            }
        }
    }
    node.SetSelected(true);
    return node;
}

standin::Node& AddQuad(standin::Scene& scene, const std::string& name, bool mirrorU) {
    standin::Node& node = scene.CreateMeshNode(name);
    Mesh& m = standin::Scene::TriOf(node).mesh;
    m.verts = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    const float u0 = mirrorU ? 1.0f : 0.0f, u1 = mirrorU ? 0.0f : 1.0f;
    // Texture v runs opposite to y so that the exported v (1 - v) grows with y.
    m.tVerts = {{u0, 1, 0}, {u1, 1, 0}, {u1, 0, 0}, {u0, 0, 0}};
    Face a, b;
    a.v[0] = 0, a.v[1] = 1, a.v[2] = 2;
    b.v[0] = 0, b.v[1] = 2, b.v[2] = 3;
    a.smGroup = b.smGroup = 1;
    m.faces = {a, b};
    TVFace ta, tb;
    ta.t[0] = 0, ta.t[1] = 1, ta.t[2] = 2;
    tb.t[0] = 0, tb.t[1] = 2, tb.t[2] = 3;
    m.tvFace = {ta, tb};
    node.SetSelected(true);
    return node;
}

Options WorldOrigin(bool swap) {
    Options o;
    o.origin = vlo::OriginMode::World;
    o.swapYZ = swap;
    return o;
}

std::vector<std::string> Exported::Texts(const std::string& caption) const {
    std::vector<std::string> out;
    for (const auto& m : outcome.messages)
        if (m.caption == caption) out.push_back(m.text);
    return out;
}

Exported Export(standin::Scene& scene, const std::string& path, const Options& options, vlo::IoFaultPlan* faults) {
    standin::Desktop desktop;
    app::QueueDialogs(desktop, options);
    return Export(scene, desktop, path, faults);
}

Exported Export(standin::Scene& scene, standin::Desktop& desktop, const std::string& path, vlo::IoFaultPlan* faults) {
    Exported e;
    e.outcome = app::RunExport(scene, desktop, path, faults);
    e.exists = Exists(path);
    if (e.exists) {
        std::string error;
        vlo::ReadFileBytes(path, e.bytes, error);
        e.file = vlo::ReadVlo(e.bytes);
    }
    const std::string txt = vlo::SiblingFileName(path, ".TXT");
    e.text = Exists(txt) ? ReadText(txt) : "";
    return e;
}

void PinClock(standin::Desktop& desktop, long long secondsSince1970) { desktop.PinClock(secondsSince1970); }

void CheckEveryFailingOperation(long count, const std::string& data, const std::string& text,
                                const std::function<Exported(vlo::IoFaultPlan&)>& exportWith) {
    int dataFailures = 0, textFailures = 0;
    // An earlier export's text, which the export replaces when it succeeds.
    const std::string previousText = std::string(vlo::kModelTextTitle) + "\r\n\r\n(the previous export)\r\n";
    for (long k = 1; k <= count; ++k) {
        std::ofstream(data, std::ios::binary) << "previous data";
        std::ofstream(text, std::ios::binary) << previousText;
        vlo::IoFaultPlan plan{k, 0};
        const Exported e = exportWith(plan);
        EXPECT_EQ(ReadText(text), previousText) << k;
        const auto errors = e.Texts("Error"), warnings = e.Texts("Warning");
        if (!errors.empty()) {
            ++dataFailures;
            EXPECT_FALSE(e.outcome.written) << k;
            ASSERT_EQ(errors.size(), 1u) << k;
            EXPECT_EQ(errors[0], "Failed to write the file: " + data + " (simulated failure)") << k;
            EXPECT_EQ(ReadText(data), "previous data") << k;
        } else {
            ++textFailures;
            EXPECT_TRUE(e.outcome.written) << k;
            EXPECT_EQ(warnings, std::vector<std::string>{"The information file " + text +
                                                         " could not be written (simulated failure); the export goes "
                                                         "on without it"})
                << k;
            EXPECT_NE(ReadText(data), "previous data") << k;
        }
        EXPECT_EQ(ListDir(std::filesystem::path(data).parent_path().string()).size(), 2u) << k;  // no temporary left
    }
    EXPECT_GT(dataFailures, 0);
    EXPECT_GT(textFailures, 0);
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool Exists(const std::string& path) { return fs::exists(path); }

std::vector<std::string> ListDir(const std::string& path) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(path)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace support
