#include "tools/html_report.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "core/processors.h"
#include "format/output_file.h"
#include "format/vla_reader.h"
#include "format/vlo_reader.h"
#include "preview/sheets.h"

namespace tools {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

// A file name made only of the name's letters, digits, '-' and '_', so that no manifest or scene
// text can place a sheet outside its folder.
std::string SafeName(std::size_t index, const std::string& name) {
    std::string out = std::to_string(index + 1) + "-";
    for (char c : fs::path(name).stem().string())
        out += (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_') ? c : '_';
    return out + ".png";
}

std::optional<std::vector<std::uint8_t>> Bytes(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (!vlo::ReadFileBytes(path, bytes, error)) return std::nullopt;
    return bytes;
}

// The asset's sheet, from its written file; false when there is nothing valid to draw.
bool DrawSheet(const PageAsset& a, const std::string& png) {
    const auto bytes = Bytes(a.output);
    if (!bytes) return false;
    preview::Image image;
    if (vlo::LooksLikeVla(*bytes)) {
        const vlo::VlaReadResult read = vlo::ReadVla(*bytes);
        if (!read.Valid()) return false;
        preview::AnimationSheetOptions options;
        options.title = a.name;
        std::optional<vlo::VloReadResult> model;
        if (!a.skinnedModel.empty())
            if (const auto modelBytes = Bytes(a.skinnedModel)) {
                model = vlo::ReadVlo(*modelBytes);
                if (model->Valid() && model->model.bones.size() == read.animation.header.numBones) options.model = &model->model;
            }
        if (!options.model && !a.skeleton.empty()) options.bones = &a.skeleton;
        image = preview::DrawAnimationSheet(read.animation, options).image;
    } else {
        const vlo::VloReadResult read = vlo::ReadVlo(*bytes);
        if (!read.Valid()) return false;
        image = preview::DrawModelSheet(read.model, {a.name, fs::path(a.input).parent_path().string()}).image;
    }
    std::string error;
    return preview::WritePng(image, png, error);
}

std::string Cell(const std::string& text, const std::string& sortValue = "") {
    return "<td" + (sortValue.empty() ? std::string() : " data-value=\"" + Escape(sortValue) + "\"") + ">" + text + "</td>";
}

std::string Number(const json& value) { return value.is_number() ? value.dump() : ""; }

std::string Figure(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2g", value);
    return text;
}

std::string Row(const PageAsset& a, const std::string& sheet) {
    const json& r = a.report;
    const json counts = r.value("counts", json::object());
    std::string diagnostics;
    int warnings = 0, errors = 0;
    for (const json& d : r.value("diagnostics", json::array())) {
        const bool error = d.value("severity", "") == "error";
        (error ? errors : warnings)++;
        diagnostics += "<div class=\"" + std::string(error ? "error" : "warning") + "\">" + Escape(d.value("text", "")) +
                       (d.value("repeats", 1) > 1 ? " (" + std::to_string(d.value("repeats", 1)) + " times)" : "") + "</div>";
    }
    std::string verification;
    if (r.contains("verification")) {
        const json& v = r["verification"];
        verification = v.value("passed", false) ? "passed" : "FAILED";
        if (v.contains("worstPosition"))
            verification += "<br>position " + Figure(v.value("worstPosition", 0.0)) + " of " + Figure(v.value("modelSize", 0.0)) +
                            "<br>normal " + Figure(v.value("worstNormal", 0.0));
        if (v.contains("worstRotation"))
            verification += "<br>rotation " + Figure(v.value("worstRotation", 0.0)) + " rad<br>root " +
                            Figure(v.value("worstRootPosition", 0.0)) + " m";
        for (const json& f : v.value("failures", json::array())) verification += "<div class=\"error\">" + Escape(f.get<std::string>()) + "</div>";
    }
    const std::string status = r.value("status", "");
    const std::string picture =
        sheet.empty() ? "" : "<a href=\"sheets/" + sheet + "\"><img src=\"sheets/" + sheet + "\" alt=\"" + Escape(a.name) + "\"></a>";
    return "<tr class=\"" + std::string(status == "failed" ? "failed" : "") + "\">" + Cell(picture, "") + Cell(Escape(a.name), a.name) +
           Cell(Escape(status), status) + Cell(Escape(r.value("object", "")), r.value("object", "")) +
           Cell(Number(counts.value("vertices", json())), Number(counts.value("vertices", json()))) +
           Cell(Number(counts.value("polygons", json())), Number(counts.value("polygons", json()))) +
           Cell(Number(counts.value("bones", json())), Number(counts.value("bones", json()))) +
           Cell(Number(counts.value("frames", json())), Number(counts.value("frames", json()))) +
           Cell(std::to_string(warnings), std::to_string(warnings)) + Cell(std::to_string(errors), std::to_string(errors)) +
           Cell(diagnostics, diagnostics.empty() ? "" : "1") + Cell(verification, verification) + "</tr>\n";
}

constexpr const char* kStyle = R"(<style>
body { font: 14px system-ui, sans-serif; margin: 16px; background: #f4f5f7; color: #1e2228; }
h1 { font-size: 20px; margin: 0 0 6px; }
#filter { font-size: 14px; padding: 4px 8px; width: 320px; margin: 8px 0; }
table { border-collapse: collapse; background: #fff; }
th, td { border: 1px solid #d8dbe0; padding: 4px 8px; vertical-align: top; text-align: left; }
th { background: #e9ebef; cursor: pointer; user-select: none; white-space: nowrap; }
th.sorted-up::after { content: " \25B2"; } th.sorted-down::after { content: " \25BC"; }
img { width: 240px; display: block; }
tr.failed td { background: #fdecec; }
.error { color: #b00020; } .warning { color: #8a5a00; }
</style>)";

constexpr const char* kScript = R"(<script>
const table = document.getElementById('assets');
const rows = () => Array.from(table.tBodies[0].rows);
document.getElementById('filter').addEventListener('input', e => {
  const words = e.target.value.toLowerCase().split(/\s+/).filter(w => w);
  for (const row of rows()) {
    const text = row.textContent.toLowerCase();
    row.style.display = words.every(w => text.includes(w)) ? '' : 'none';
  }
});
table.tHead.rows[0].querySelectorAll('th').forEach((th, column) => th.addEventListener('click', () => {
  const up = !th.classList.contains('sorted-up');
  table.tHead.querySelectorAll('th').forEach(h => h.classList.remove('sorted-up', 'sorted-down'));
  th.classList.add(up ? 'sorted-up' : 'sorted-down');
  const value = row => row.cells[column].dataset.value ?? row.cells[column].textContent;
  const sorted = rows().sort((a, b) => {
    const x = value(a), y = value(b), nx = parseFloat(x), ny = parseFloat(y);
    const order = !isNaN(nx) && !isNaN(ny) ? nx - ny : x.localeCompare(y);
    return up ? order : -order;
  });
  for (const row of sorted) table.tBodies[0].appendChild(row);
}));
window.addEventListener('load', () => {
  const images = Array.from(document.images);
  document.body.dataset.rows = rows().length;
  document.body.dataset.imagesLoaded = images.filter(i => i.complete && i.naturalWidth > 0).length;
  document.body.dataset.imagesFailed = images.filter(i => !(i.complete && i.naturalWidth > 0)).length;
});
</script>)";

}  // namespace

// How every build page begins, which tells an earlier page from any other.
constexpr std::string_view kPageStart = "<!doctype html>\n<!-- vloexport build page -->\n";

std::string BuildPageProblem(const std::string& dir) {
    std::error_code ec;
    if (fs::exists(dir, ec) && !fs::is_directory(dir, ec)) return "it is not a folder";
    return vlo::ReplaceProblem((fs::path(dir) / "index.html").string(), "build page", kPageStart);
}

bool WriteBuildPage(const std::string& dir, const std::string& title, const std::vector<PageAsset>& assets,
                    const json& summary, int jobs, std::string& error) {
    std::error_code ec;
    fs::create_directories(fs::path(dir) / "sheets", ec);
    if (ec) {
        error = ec.message();
        return false;
    }
    // The sheets, drawn in parallel: each from its asset's written file.
    std::vector<std::string> sheets(assets.size());
    vlo::ForEachIndex(assets.size(), unsigned(std::max(jobs, 1)), [&](std::size_t i) {
        const std::string name = SafeName(i, assets[i].name);
        if (DrawSheet(assets[i], (fs::path(dir) / "sheets" / name).string())) sheets[i] = name;
    });

    std::string page = std::string(kPageStart) + "<html lang=\"en\"><head><meta charset=\"utf-8\"><title>" + Escape(title) +
                       "</title>" + kStyle + "</head>\n<body>\n<h1>" + Escape(title) + "</h1>\n<p>" +
                       std::to_string(summary.value("assets", 0)) + " assets: " + std::to_string(summary.value("exported", 0)) +
                       " exported, " + std::to_string(summary.value("upToDate", 0)) + " up to date, " +
                       std::to_string(summary.value("failed", 0)) + " failed, " + std::to_string(summary.value("warnings", 0)) +
                       " warnings. Click a heading to sort; type to filter.</p>\n"
                       "<input id=\"filter\" placeholder=\"filter: name, status, text...\">\n<table id=\"assets\"><thead><tr>"
                       "<th>preview</th><th>asset</th><th>status</th><th>object</th><th>vertices</th><th>polygons</th>"
                       "<th>bones</th><th>frames</th><th>warnings</th><th>errors</th><th>diagnostics</th><th>verification</th>"
                       "</tr></thead>\n<tbody>\n";
    for (std::size_t i = 0; i < assets.size(); ++i) page += Row(assets[i], sheets[i]);
    page += "</tbody></table>\n" + std::string(kScript) + "\n</body></html>\n";
    vlo::OutputFile out;
    if (!(out.Open((fs::path(dir) / "index.html").string()) && out.Write(page) && out.Finish() && out.Publish())) {
        error = out.Error();
        return false;
    }
    return true;
}

}  // namespace tools
