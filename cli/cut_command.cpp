// flickbook-cli cut, and the cut that video --start/--end makes first.

#include "args.h"
#include "commands.h"
#include "core/temporary_files.h"
#include "cut_range.h"
#include "media/probe.h"
#include "media/video_cutter.h"
#include "progress_bar.h"
#include "store/gif_store.h"

#include <cstdio>
#include <filesystem>
#include <iostream>

namespace flickbook::cli {

namespace fs = std::filesystem;

Result<media::CutRequest> cutRequestFor(const fs::path& source,
                                        const std::optional<std::string>& startText,
                                        const std::optional<std::string>& endText) {
    media::CutRequest request;
    request.source = source;
    std::optional<double> start = 0.0;
    std::optional<double> end;
    if (startText && !(start = parseSeconds(*startText)))
        return makeError("cut.range", "--start takes seconds, such as 2 or 2.5");
    if (endText && !(end = parseSeconds(*endText)))
        return makeError("cut.range", "--end takes seconds, such as 8 or 8.5");
    if (!end) {
        auto info = media::probe(source);
        if (!info)
            return makeError(info.error().code, source.string() + ": " + info.error().message);
        end = info->durationSeconds;
    }
    request.startSeconds = *start;
    request.endSeconds = *end;
    return request;
}

TemporaryCut::~TemporaryCut() {
    if (!path.empty()) {
        std::error_code ec;
        fs::remove(path, ec);
        temporary::untrack(path);
    }
}

Result<void> cutToTemporary(media::CutRequest request, TemporaryCut& cut) {
    request.folder = store::GifStore::standard().temporaryFolder();
    ProgressBar bar("cut");
    request.progress = [&bar](double done) { bar.update(done); };
    if (auto told = request.endsEarly)
        request.endsEarly = [&bar, told](double seconds) {
            bar.finish();
            told(seconds);
        };
    auto made = media::cutVideo(request);
    bar.finish();
    if (!made)
        return made.error();
    cut.path = *made;
    temporary::track(cut.path);
    return {};
}

void warnStopsDecoding(const fs::path& named, double seconds, const std::string& made) {
    char at[32];
    std::snprintf(at, sizeof at, "%.2f", seconds);
    warn(named.string() + " stops decoding at " + at + " s (the file is cut short or damaged); " +
         made + " ends there");
}

int runCut(const std::vector<std::string>& input) {
    auto args = input;
    bool missing = false;
    const auto startText = takeValue(args, "--start", missing);
    const auto endText = takeValue(args, "--end", missing);
    const auto out = takeValue(args, "-o", missing);
    if (missing)
        return fail("an option is missing its value");
    if (auto unknown = unknownOption(args))
        return fail("unknown option " + *unknown + " for cut");
    if (args.size() != 1 || !startText || !endText)
        return fail("usage: flickbook-cli cut FILE --start S --end E [-o OUT]");

    const fs::path source = args[0];
    auto request = cutRequestFor(source, startText, endText);
    if (!request)
        return fail(request.error().message);
    if (out) {
        request->destination = *out;
    } else {
        request->folder = fs::current_path();
        request->baseName = source.stem().string() + "-cut";
    }
    ProgressBar bar("cut");
    request->progress = [&bar](double done) { bar.update(done); };
    request->endsEarly = [&](double seconds) {
        bar.finish();
        warnStopsDecoding(source, seconds, "the cut");
    };
    auto made = media::cutVideo(*request);
    bar.finish();
    if (!made)
        return fail(made.error().code.starts_with("media.")
                        ? source.string() + ": " + made.error().message
                        : made.error().message);
    std::cout << made->string() << "\n";
    return 0;
}

} // namespace flickbook::cli
