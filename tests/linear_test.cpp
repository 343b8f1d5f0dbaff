// Nothing grows faster than its input: the cost per item at a large size stays within a generous
// bound of the cost per item at a small one (a quadratic step would be ten times over it). Each size
// is timed as the best of three runs, and a ratio over the bound is measured again, up to three
// times: a busy machine can slow any one measurement, but never makes a quadratic step look linear.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <cmath>
#include <functional>

#include "geometry/weld.h"
#include "standin/modifiers.h"
#include "test_support.h"
#include "ui/controls.h"

namespace {

constexpr double kBound = 3.0;

// Processor time of this process, not wall time: a run that waits for the processor while other
// programs use it costs no more.
double ProcessSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

double BestSeconds(const std::function<void()>& run) {
    double best = 1e30;
    for (int i = 0; i < 3; ++i) {
        const double start = ProcessSeconds();
        run();
        best = std::min(best, ProcessSeconds() - start);
    }
    return best;
}

// The cost per item at large over the cost per item at small; the least of up to three measurements,
// stopping at the first within the bound.
double Growth(int small, int large, const std::function<void(int)>& run) {
    double least = 1e30;
    for (int attempt = 0; attempt < 3 && least >= kBound; ++attempt) {
        const double a = BestSeconds([&] { run(small); }) / small, b = BestSeconds([&] { run(large); }) / large;
        least = std::min(least, b / a);
    }
    return least;
}

TEST(Linear, WeldingCorners) {
    // The corners of a smooth n x n grid: each vertex shared by up to six triangles.
    auto weld = [](int n) {
        std::vector<vlo::ModelVertex> out;
        vlo::VertexWelder welder(out, std::size_t(n) * n * 6);
        for (int y = 0; y + 1 < n; ++y)
            for (int x = 0; x + 1 < n; ++x)
                for (int k : {0, 1, n + 1, 0, n + 1, n}) {
                    const int i = y * n + x + k;
                    welder.FindOrAdd({{float(i % n), float(i / n), std::sin(float(i))}, {0, 0, 1}, 0, 0});
                }
        ASSERT_EQ(out.size(), std::size_t(n) * n);
    };
    // About 5,000 and 50,000 vertices, per vertex.
    EXPECT_LT(Growth(71 * 71, 224 * 224, [&](int vertices) { weld(int(std::lround(std::sqrt(vertices)))); }), kBound);
}

// Exports of the stand-in scene through the options dialog, as a user runs them.
void ExportModel(standin::Scene& scene, bool hierarchy, const std::string& path) {
    standin::Desktop desktop;
    desktop.QueueScript(IDD_EXPORT_OPTIONS, [hierarchy](standin::DialogDriver& d) {
        if (hierarchy) d.Click(IDC_MODE_HIERARCHY);
        d.Click(IDOK);
    });
    ASSERT_TRUE(app::RunExport(scene, desktop, path).written);
}

TEST(Linear, AnimationFrames) {
    support::TempDir dir;
    standin::Scene scene;
    standin::Node* bone = &scene.CreateNode("Root");
    bone->SetSelected(true);
    for (int i = 0; i < 20; ++i) {
        bone = &bone->AddChild("Bone" + std::to_string(i));
        bone->SetLocalTrack([i](TimeValue t) { return RotateZMatrix(0.001f * float(t) + float(i)) * TransMatrix({0, 1, 0}); });
    }
    auto frames = [&](int count) {
        scene.animRange = {0, (count - 1) * 160};
        standin::Desktop desktop;
        desktop.QueueScript(IDD_EXPORT_OPTIONS, [](standin::DialogDriver& d) {
            d.Click(IDC_MODE_ANIMATION);
            d.Click(IDOK);
        });
        ASSERT_TRUE(app::RunExport(scene, desktop, dir.File("a.VLA")).written);
    };
    EXPECT_LT(Growth(100, 5000, frames), kBound);
}

TEST(Linear, MarkersAndBones) {
    support::TempDir dir;
    auto markers = [&](int count) {
        standin::Scene scene;
        support::AddBox(scene, "Box", {1, 1, 1}, false, false).SetSelected(true);
        for (int i = 0; i < count; ++i)
            scene.CreateDummyNode("Marker" + std::to_string(i), Box3()).SetLocalTM(TransMatrix({float(i), 0, 0}));
        ExportModel(scene, false, dir.File("m.VLO"));
    };
    EXPECT_LT(Growth(100, 1000, markers), kBound);

    auto bones = [&](int count) {
        standin::Scene scene;
        std::vector<INode*> chain{&scene.CreateNode("Bone0")};
        for (int i = 1; i < count; ++i) {
            auto& next = static_cast<standin::Node*>(chain.back())->AddChild("Bone" + std::to_string(i));
            next.SetLocalTM(TransMatrix({0, 0, 1}));
            chain.push_back(&next);
        }
        auto& body = scene.CreateMeshNode("Body");
        Mesh& mesh = standin::Scene::TriOf(body).mesh;
        auto& skin = scene.Make<standin::SkinModifier>();
        skin.skinned = &body;
        skin.bones = chain;
        for (int i = 0; i < count; ++i) {
            for (const Point3& p : {Point3(0, 0, float(i)), Point3(1, 0, float(i)), Point3(0, 1, float(i))}) {
                mesh.verts.push_back(p);
                skin.points.push_back({{i, 1.0f}});
            }
            Face f;
            f.v[0] = DWORD(3 * i), f.v[1] = DWORD(3 * i + 1), f.v[2] = DWORD(3 * i + 2), f.smGroup = 1;
            mesh.faces.push_back(f);
        }
        standin::AddModifiers(scene, body, {&skin});
        body.SetSelected(true);
        ExportModel(scene, true, dir.File("b.VLO"));
    };
    EXPECT_LT(Growth(25, 255, bones), kBound);
}

}  // namespace
