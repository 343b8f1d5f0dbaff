#include "tools/build.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>

#include "app/export_job.h"
#include "core/processors.h"
#include "format/output_file.h"
#include "format/vlo_reader.h"
#include "importer/importer.h"
#include "importer/wording.h"
#include "tools/html_report.h"
#include "tools/manifest.h"
#include "tools/report.h"

namespace tools {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using importer::CountOf;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

std::string Hex(const unsigned char* bytes, unsigned size) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned i = 0; i < size; ++i) out += {digits[bytes[i] >> 4], digits[bytes[i] & 15]};
    return out;
}

// SHA-256 of text.
std::string TextHash(const std::string& text) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned size = 0;
    EVP_Digest(text.data(), text.size(), digest, &size, EVP_sha256(), nullptr);
    return Hex(digest, size);
}

// SHA-256 of a file's content; "" when it cannot be read.
std::string FileHash(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    EVP_DigestInit_ex(context, EVP_sha256(), nullptr);
    char block[1 << 16];
    while (in.read(block, sizeof block) || in.gcount() > 0) EVP_DigestUpdate(context, block, std::size_t(in.gcount()));
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned size = 0;
    EVP_DigestFinal_ex(context, digest, &size);
    EVP_MD_CTX_free(context);
    return in.bad() ? std::string() : Hex(digest, size);
}

// A hidden file beside the manifest: .MANIFEST-NAME + suffix.
std::string BesideManifest(const Manifest& m, const char* suffix) {
    return (fs::path(m.folder) / std::string(".").append(fs::path(m.path).filename().string()).append(suffix)).string();
}

// How the cache names a file an export wrote: its absolute, normalised path.
std::string WrittenFileKey(const std::string& path) { return fs::absolute(path).lexically_normal().string(); }

// File hashes taken once per build, shared by the assets that use the same files.
class Hashes {
public:
    std::string Of(const std::string& path) {
        {
            std::lock_guard lock(mutex_);
            if (const auto it = known_.find(path); it != known_.end()) return it->second;
        }
        const std::string hash = FileHash(path);
        std::lock_guard lock(mutex_);
        return known_.emplace(path, hash).first->second;
    }

private:
    std::mutex mutex_;
    std::map<std::string, std::string> known_;
};

// What the last build of each asset read and wrote, kept beside the manifest as
// .MANIFEST-NAME.cache: per output, a key over the tool's version, the asset's options and the
// content of every file its export read, and the content of the files it wrote.
class Cache {
public:
    explicit Cache(const Manifest& m) : path_(BesideManifest(m, ".cache")) {
        std::ifstream in(path_);
        if (in) data_ = json::parse(in, nullptr, /*allow_exceptions=*/false);
        if (!data_.is_object() || data_.value("tool", "") != Tool()) data_ = {{"tool", Tool()}, {"assets", json::object()}};
        // Assets no longer in the manifest are forgotten.
        json kept = json::object();
        for (const ManifestAsset& a : m.assets)
            if (data_["assets"].contains(a.flags.output)) kept[a.flags.output] = data_["assets"][a.flags.output];
        data_["assets"] = kept;
    }
    static std::string Tool() { return std::string("vloexport ") + app::kVersion; }
    static std::string KeyOf(const ExportFlags& options, const json& inputs) {
        return TextHash(Tool() + "\n" + OptionsJson(options).dump() + "\n" + inputs.dump());
    }

    // True when the asset's last build read exactly the files as they are now, with the same options,
    // and wrote its information text too, and its outputs are as it wrote them.
    bool UpToDate(const ExportFlags& options, Hashes& hashes) {
        json entry;
        {
            std::lock_guard lock(mutex_);
            if (!data_["assets"].contains(options.output)) return false;
            entry = data_["assets"][options.output];
        }
        if (!entry.is_object() || entry.value("key", "") != KeyOf(options, entry["inputs"])) return false;
        // A text left out (it could not be made, or a file of the user's held its name) is made by
        // the next build that can.
        const std::string text = WrittenFileKey(vlo::SiblingFileName(options.output, ".TXT"));
        if (!entry["outputs"].is_object() || !entry["outputs"].contains(text)) return false;
        for (const auto& [path, hash] : entry["inputs"].items())
            if (hashes.Of(path) != hash) return false;
        for (const auto& [path, hash] : entry["outputs"].items())
            if (FileHash(path) != hash) return false;
        return true;
    }

    void Record(const ExportFlags& options, const app::ExportResult& r, Hashes& hashes) {
        json inputs = json::object(), outputs = json::object();
        for (const std::string& file : r.usedFiles) inputs[file] = hashes.Of(file);
        for (const std::string& file : r.files) outputs[WrittenFileKey(file)] = FileHash(file);
        std::lock_guard lock(mutex_);
        data_["assets"][options.output] = {{"key", KeyOf(options, inputs)}, {"inputs", inputs}, {"outputs", outputs}};
        // Saved after every asset, whole or not at all: a build killed at any moment keeps what it finished.
        vlo::OutputFile out;
        if (out.Open(path_)) out.Write(data_.dump(1) + "\n") && out.Finish() && out.Publish();
    }

private:
    std::string path_;
    std::mutex mutex_;
    json data_;
};

// One build of a manifest at a time: a lock beside it, held while the build runs.
class BuildLock {
public:
    explicit BuildLock(const Manifest& m) {
        fd_ = open(BesideManifest(m, ".lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
        if (fd_ >= 0 && flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            waited_ = true;
            flock(fd_, LOCK_EX);
        }
    }
    ~BuildLock() {
        if (fd_ >= 0) close(fd_);
    }
    bool Waited() const { return waited_; }

private:
    int fd_ = -1;
    bool waited_ = false;
};

// Temporary files a killed export left beside an output and its information file.
void RemoveStaleTemporaries(const std::string& output) {
    for (const std::string& file : {output, vlo::SiblingFileName(output, ".TXT")}) {
        const fs::path path(file);
        const std::string prefix = vlo::TemporaryNamePrefix(file);
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(path.parent_path().empty() ? "." : path.parent_path(), ec))
            if (entry.path().filename().string().rfind(prefix, 0) == 0) fs::remove(entry.path(), ec);
    }
}

// Progress on stderr: a line per asset, or on a terminal one line rewritten in place.
class Progress {
public:
    Progress(std::ostream& err, std::size_t total, bool terminal) : err_(err), total_(total), terminal_(terminal) {}
    void Done(const std::string& name, AssetStatus status, const app::ExportResult& r, double seconds) {
        std::lock_guard lock(mutex_);
        ++done_;
        if (terminal_) err_ << "\r\033[K";
        for (const app::Diagnostic& d : r.diagnostics)
            if (status == AssetStatus::Failed || d.level == app::Diagnostic::Level::Warning)
                err_ << name << ": " << app::FormatDiagnostic(d) << "\n";
        char line[64];
        std::snprintf(line, sizeof line, "[%zu/%zu] ", done_, total_);
        std::string text = line + std::string(status == AssetStatus::Failed ? "FAILED " : std::string(StatusName(status)) + " ") + name;
        if (status != AssetStatus::UpToDate) {
            std::snprintf(line, sizeof line, " (%.2f s)", seconds);
            text += line;
        }
        std::snprintf(line, sizeof line, ", %.1f s", Seconds(start_));
        if (terminal_ && status != AssetStatus::Failed) err_ << text << line << std::flush;
        else err_ << text << "\n";
    }
    void Finish() {
        if (terminal_) err_ << "\r\033[K" << std::flush;
    }

private:
    std::mutex mutex_;
    std::ostream& err_;
    std::size_t total_, done_ = 0;
    bool terminal_;
    Clock::time_point start_ = Clock::now();
};

// The manifest at path and its assets' export requests; nullopt after saying on err why it does
// not read (a usage error).
std::optional<Manifest> LoadManifest(const std::string& path, std::vector<app::ExportRequest>& requests, std::ostream& err) {
    std::string problems;
    auto manifest = ReadManifest(path, problems);
    if (!manifest) {
        err << "error: " << problems << (problems.empty() || problems.back() == '\n' ? "" : "\n");
        return std::nullopt;
    }
    for (const ManifestAsset& a : manifest->assets) {
        app::ExportRequest& r = requests.emplace_back();
        if (const auto problem = ToRequest(a.flags, r)) {
            err << "error: " << manifest->path << ":" << a.line << ": asset " << a.name << ": " << *problem << "\n";
            return std::nullopt;
        }
        r.verify = true;
    }
    return manifest;
}

// A path or a shell word in a Ninja file: $ doubled, and for paths of build lines spaces and colons
// escaped.
std::string NinjaPath(const std::string& path) {
    std::string out;
    for (char c : path) {
        if (c == '$' || c == ' ' || c == ':') out += '$';
        out += c;
    }
    return out;
}
// Every file the assets write: each output and its information text.
std::vector<std::string> FilesWritten(const std::vector<app::ExportRequest>& requests) {
    std::vector<std::string> files;
    for (const app::ExportRequest& r : requests) {
        const std::vector<std::string> written = app::OutputFiles(r.output);
        files.insert(files.end(), written.begin(), written.end());
    }
    return files;
}

std::string ShellWord(const std::string& word) {
    std::string out = "'";
    for (char c : word) out += c == '\'' ? std::string("'\\''") : c == '$' ? std::string("$$") : std::string(1, c);
    return out + "'";
}

}  // namespace

int RunBuild(const BuildOptions& o, std::ostream& out, std::ostream& err) {
    const auto start = Clock::now();
    std::vector<app::ExportRequest> requests;
    const auto manifest = LoadManifest(o.manifest, requests, err);
    if (!manifest) return app::kExitUsage;
    if (!o.report.empty())
        if (const std::string problem = ReportPathProblem(o.report, FilesWritten(requests)); !problem.empty()) {
            err << "error: --report " << o.report << ": " << problem << "; nothing was written (name another file)\n";
            return app::kExitUsage;
        }
    if (!o.html.empty() && !o.dryRun)
        if (const std::string problem = BuildPageProblem(o.html); !problem.empty()) {
            err << "error: --html " << o.html << ": " << problem << "; nothing was written (name another folder)\n";
            return app::kExitUsage;
        }
    const std::size_t n = manifest->assets.size();
    const int jobs = o.jobs > 0 ? o.jobs : int(vlo::AvailableProcessors());

    std::optional<BuildLock> lock;
    std::optional<Cache> cache;
    if (!o.dryRun) {
        lock.emplace(*manifest);
        cache.emplace(*manifest);
        // What a killed build left half-written is cleared first, whether its asset is built again or not.
        for (const app::ExportRequest& r : requests) RemoveStaleTemporaries(r.output);
    }
    // The folders the build will make for its outputs: those a failed asset leaves empty go again, so
    // that an asset that fails leaves nothing behind.
    std::set<fs::path> madeFolders;
    if (!o.dryRun)
        for (const app::ExportRequest& r : requests) {
            std::error_code ec;
            for (fs::path f = fs::absolute(r.output, ec).parent_path(); f.has_relative_path() && !fs::exists(f, ec);
                 f = f.parent_path())
                madeFolders.insert(f);
        }
    Hashes hashes;
    Progress progress(err, n, o.terminal);
    std::vector<json> reports(n);
    std::vector<AssetStatus> statuses(n);
    std::vector<std::size_t> warnings(n);
    std::vector<std::vector<vlo::BoneRecord>> skeletons(n);  // of the animations exported now
    vlo::ForEachIndex(n, unsigned(jobs), [&](std::size_t i) {
        const auto assetStart = Clock::now();
        const ManifestAsset& asset = manifest->assets[i];
        app::ExportRequest request = requests[i];
        app::ExportResult result;
        if (!o.dryRun && !o.force && cache->UpToDate(asset.flags, hashes)) {
            statuses[i] = AssetStatus::UpToDate;
        } else {
            if (!o.dryRun) {
                std::error_code ec;  // a folder that cannot be made is reported by the export
                fs::create_directories(fs::path(request.output).parent_path(), ec);
            }
            request.dryRun = o.dryRun;
            result = app::ExportFile(request);
            statuses[i] = result.status != app::kExitOk ? AssetStatus::Failed
                          : o.dryRun                    ? AssetStatus::Checked
                                                        : AssetStatus::Exported;
            if (statuses[i] == AssetStatus::Exported) cache->Record(asset.flags, result, hashes);
        }
        const double seconds = Seconds(assetStart);
        warnings[i] = result.Warnings();
        if (result.animation) skeletons[i] = result.animation->text.bones;
        reports[i] = AssetReport(asset.flags, statuses[i], result, seconds);
        progress.Done(asset.name, statuses[i], result, seconds);
    });
    progress.Finish();
    for (std::size_t i = 0; i < n; ++i) {
        if (statuses[i] != AssetStatus::Failed) continue;
        std::error_code ec;
        for (fs::path f = fs::absolute(requests[i].output, ec).parent_path(); madeFolders.count(f) && fs::is_empty(f, ec);
             f = f.parent_path())
            fs::remove(f, ec);
    }

    ReportSummary s;
    s.assets = n;
    s.jobs = jobs;
    for (std::size_t i = 0; i < n; ++i) {
        s.exported += statuses[i] == AssetStatus::Exported;
        s.upToDate += statuses[i] == AssetStatus::UpToDate;
        s.checked += statuses[i] == AssetStatus::Checked;
        s.failed += statuses[i] == AssetStatus::Failed;
        s.warnings += warnings[i];
    }
    s.seconds = Seconds(start);
    char time[64];
    if (o.dryRun) {
        std::snprintf(time, sizeof time, "%.2f s", s.seconds);
        out << CountOf(s.assets, "asset") << " checked: " << s.checked << " ready, " << s.failed << " failed, "
            << CountOf(s.warnings, "warning") << ", " << time << "\n";
    } else {
        std::snprintf(time, sizeof time, "%.2f s (-j%d)", s.seconds, jobs);
        out << CountOf(s.assets, "asset") << ": " << s.exported << " exported, " << s.upToDate << " up to date, " << s.failed
            << " failed, " << CountOf(s.warnings, "warning") << ", " << time << "\n";
    }
    const json report = Report(manifest->path, reports, s);
    if (!o.html.empty() && !o.dryRun) {
        std::vector<PageAsset> page;
        for (std::size_t i = 0; i < n; ++i) {
            const ManifestAsset& a = manifest->assets[i];
            PageAsset& p = page.emplace_back();
            p.name = a.name, p.output = a.flags.output, p.input = a.flags.input, p.report = reports[i];
            p.skeleton = skeletons[i];
            // A skinned model of the same scene poses an animation with its mesh.
            for (const ManifestAsset& other : manifest->assets)
                if (other.flags.input == a.flags.input && other.flags.mode == "hierarchy") p.skinnedModel = other.flags.output;
        }
        std::string error;
        if (!WriteBuildPage(o.html, "Art build: " + manifest->path, page, report["summary"], jobs, error)) {
            err << "error: cannot write the build page in " << o.html << " (" << error << ")\n";
            return app::kExitExportFailed;
        }
        out << "build page: " << (fs::path(o.html) / "index.html").string() << "\n";
    }
    if (!o.report.empty()) {
        std::string error;
        if (!WriteReport(o.report, report, error)) {
            err << "error: cannot write the report " << o.report << " (" << error << ")\n";
            return app::kExitExportFailed;
        }
    }
    return s.failed ? app::kExitExportFailed : app::kExitOk;
}

// How every Ninja file this tool writes begins.
constexpr const char* kNinjaFileStart = "# Made by vloexport ninja from ";

int RunNinja(const std::string& manifestPath, const std::string& output, const std::string& vloexport, std::ostream& out,
             std::ostream& err) {
    std::vector<app::ExportRequest> requests;
    const auto manifest = LoadManifest(manifestPath, requests, err);
    if (!manifest) return app::kExitUsage;
    std::vector<std::string> named = FilesWritten(requests);
    named.push_back(manifestPath);
    if (const std::string problem = vlo::ReplaceProblem(output, "Ninja file of ours", kNinjaFileStart, named); !problem.empty()) {
        err << "error: -o " << output << ": " << problem << "; nothing was written (name another file)\n";
        return app::kExitUsage;
    }
    std::string text = kNinjaFileStart + manifest->path +
                       "; build with: ninja -f FILE\nninja_required_version = 1.5\n\nvloexport = " + ShellWord(vloexport) +
                       "\n\nrule export\n  command = $vloexport $in $args -q --verify\n  description = export $name\n";
    for (std::size_t i = 0; i < manifest->assets.size(); ++i) {
        const ManifestAsset& a = manifest->assets[i];
        // The files the scene uses are the edge's implicit inputs: a changed texture or buffer rebuilds it.
        standin::Scene scene;
        const importer::ImportResult imported = importer::ImportFile(a.flags.input, scene, ImportOptionsOf(a.flags));
        if (!imported.ok) err << "warning: " << a.name << ": " << imported.error << " (only the scene file is an input)\n";
        std::string implicit;
        for (const std::string& file : imported.usedFiles)
            if (file != fs::absolute(a.flags.input).lexically_normal().string()) (implicit += ' ') += NinjaPath(file);
        std::string args;
        for (const std::string& word : CommandLine(a.flags)) (args += ' ') += ShellWord(word);
        text += "\nbuild " + NinjaPath(a.flags.output) + " " + NinjaPath(vlo::SiblingFileName(a.flags.output, ".TXT")) +
                ": export " + NinjaPath(a.flags.input) + (implicit.empty() ? "" : " |" + implicit) + "\n  args =" + args +
                "\n  name = " + NinjaPath(a.name) + "\n";
    }
    vlo::OutputFile file;
    if (!(file.Open(output) && file.Write(text) && file.Finish() && file.Publish())) {
        err << "error: Failed to create the file: " << output << " (" << file.Error() << ")\n";
        return app::kExitExportFailed;
    }
    out << "wrote " << output << ": " << CountOf(manifest->assets.size(), "asset") << "\n";
    return app::kExitOk;
}

}  // namespace tools
