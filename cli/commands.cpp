#include "commands.h"

#include "args.h"
#include "gif/animation.h"
#include "image/png_io.h"
#include "json_writer.h"
#include "store/gif_store.h"

#include <cstdio>
#include <filesystem>
#include <iostream>

namespace flickbook::cli {

namespace fs = std::filesystem;

int fail(const std::string& message) {
    std::cerr << "flickbook-cli: error: " << message << "\n";
    return 1;
}

void warn(const std::string& message) {
    std::cerr << "flickbook-cli: warning: " << message << "\n";
}

namespace {

void warnDamaged(const std::string& file, const Error& damage, std::size_t frames) {
    warn(file + " is damaged (" + damage.message + "); using the " + std::to_string(frames) +
         " frame(s) before the damage.");
}

// The timing alone: the blocks are read one after the other and no frame is
// drawn, so a file of any number of large frames is described in little memory.
Result<gif::AnimationTiming> timingForTool(const std::string& file) {
    auto timing = gif::readTiming(fs::path(file));
    if (timing && timing->damage)
        warnDamaged(file, *timing->damage, timing->delaysCs.size());
    return timing;
}

std::string loopText(const std::optional<std::uint16_t>& loops) {
    if (!loops)
        return "none (plays once)";
    if (*loops == 0)
        return "endless";
    return std::to_string(*loops);
}

// Seconds for a person: two decimals, never an exponent ("10.00", not "1e+01").
std::string secondsText(double seconds) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", seconds);
    return text;
}

} // namespace

int runInfo(const std::vector<std::string>& input) {
    auto args = input;
    const bool json = takeFlag(args, "--json");
    if (auto unknown = unknownOption(args))
        return fail("unknown option " + *unknown + " for info");
    if (args.size() != 1)
        return fail("usage: flickbook-cli info FILE.gif [--json]");
    auto timing = timingForTool(args[0]);
    if (!timing)
        return fail(args[0] + ": " + timing.error().message);
    const auto& a = *timing;
    const auto& list = a.frameList;

    if (json) {
        std::string out = "{\"width\":" + std::to_string(a.screen.width) +
                          ",\"height\":" + std::to_string(a.screen.height) + ",\"loop_count\":" +
                          (a.loopCount ? std::to_string(*a.loopCount) : "null") + ",\"frames\":[";
        for (std::size_t i = 0; i < a.delaysCs.size(); ++i)
            out += (i ? ",{\"delay_cs\":" : "{\"delay_cs\":") + std::to_string(a.delaysCs[i]) + "}";
        out += "],\"step_cs\":" + std::to_string(list.stepCs) +
               ",\"list_length\":" + std::to_string(list.length()) +
               ",\"duration_s\":" + jsonNumber(list.durationSeconds()) + "}";
        std::cout << out << "\n";
        return 0;
    }
    std::cout << "canvas:      " << a.screen.width << " x " << a.screen.height << "\n"
              << "loop count:  " << loopText(a.loopCount) << "\n"
              << "frames:      " << a.delaysCs.size() << "\n"
              << "delays (cs):";
    for (std::int32_t delay : a.delaysCs)
        std::cout << " " << delay;
    std::cout << "\n"
              << "step:        " << list.stepCs << " cs\n"
              << "list length: " << list.length() << "\n"
              << "duration:    " << secondsText(list.durationSeconds()) << " s\n";
    return 0;
}

// Each frame is written as soon as it is composited; only the decoder's
// canvas is held, whatever the number of frames.
int runFrames(const std::vector<std::string>& input) {
    auto args = input;
    const bool force = takeFlag(args, "--force");
    if (auto unknown = unknownOption(args))
        return fail("unknown option " + *unknown + " for frames");
    if (args.size() != 2)
        return fail("usage: flickbook-cli frames FILE.gif DIR [--force]");
    auto decoder = gif::Decoder::openFile(fs::path(args[0]));
    if (!decoder)
        return fail(args[0] + ": " + decoder.error().message);
    const fs::path dir = args[1];
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec)
        return fail("cannot make " + dir.string() + ": " + ec.message());
    // Frames of another GIF would mix with these (and outnumber them):
    // refused, or with --force removed first.
    std::vector<fs::path> earlier;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.starts_with("frame_") && it->path().extension() == ".png")
            earlier.push_back(it->path());
    }
    if (ec)
        return fail("cannot read " + dir.string() + ": " + ec.message());
    if (!earlier.empty() && !force)
        return fail(dir.string() + " already holds frames (" + earlier.front().filename().string() +
                    "…); choose an empty folder, or add --force to replace them");
    for (const auto& old : earlier)
        if (!fs::remove(old, ec) && ec)
            return fail("cannot remove " + old.string() + ": " + ec.message());
    const auto& screen = decoder->screen();
    std::size_t written = 0;
    for (;;) {
        auto more = decoder->next();
        if (!more) {
            // Past the limits nothing counts: frames before would hide the refusal.
            const Error& error = more.error();
            if (written == 0 || error.code == "gif.too_large" || error.code == "gif.out_of_memory")
                return fail(args[0] + ": " + error.message);
            warnDamaged(args[0], error, written);
            break;
        }
        if (!*more)
            break;
        char name[32];
        std::snprintf(name, sizeof name, "frame_%04zu.png", written);
        auto png = image::writePng(dir / name, screen.width, screen.height, decoder->canvas());
        if (!png)
            return fail(png.error().message);
        ++written;
    }
    if (written == 0)
        return fail(args[0] + ": The GIF holds no image.");
    std::cout << "wrote " << written << " frames to " << dir.string() << "\n";
    return 0;
}

int runList(const std::vector<std::string>& input) {
    auto args = input;
    const bool json = takeFlag(args, "--json");
    if (!args.empty())
        return fail("usage: flickbook-cli list [--json]");
    const auto store = store::GifStore::standard();
    auto gifs = store.list();
    if (!gifs) {
        // A work folder that was never made is an empty work list.
        if (!fs::exists(store.workFolder()))
            gifs = std::vector<fs::path>{};
        else
            return fail(gifs.error().message);
    }
    if (json) {
        std::string out = "[";
        for (std::size_t i = 0; i < gifs->size(); ++i) {
            const auto& p = (*gifs)[i];
            out += (i ? "," : "") + std::string("{\"name\":") + jsonString(p.filename().string()) +
                   ",\"path\":" + jsonString(p.string()) + "}";
        }
        std::cout << out << "]\n";
        return 0;
    }
    if (gifs->empty())
        std::cerr << "The work list is empty (" << store.workFolder().string() << ").\n";
    for (const auto& p : *gifs)
        std::cout << p.filename().string() << "\n";
    return 0;
}

int runDelete(const std::vector<std::string>& args) {
    if (args.size() != 1)
        return fail("usage: flickbook-cli delete NAME");
    const auto store = store::GifStore::standard();
    auto gifs = store.list();
    if (!gifs)
        return fail(gifs.error().message);
    for (const auto& p : *gifs) {
        if (p.filename().string() == args[0]) {
            if (auto removed = store.remove(p); !removed)
                return fail(removed.error().message);
            std::cout << "deleted " << args[0] << "\n";
            return 0;
        }
    }
    return fail("no GIF named " + args[0] + " in the work list");
}

} // namespace flickbook::cli
