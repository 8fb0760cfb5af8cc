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

Result<gif::Animation> decodeForTool(const std::string& file) {
    auto animation = gif::decodeAnimation(fs::path(file));
    if (animation && animation->damage)
        warn(file + " is damaged (" + animation->damage->message + "); using the " +
             std::to_string(animation->frames.size()) + " frame(s) before the damage.");
    return animation;
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
    auto animation = decodeForTool(args[0]);
    if (!animation)
        return fail(args[0] + ": " + animation.error().message);
    const auto& a = *animation;
    const auto& list = a.frameList;

    if (json) {
        std::string out = "{\"width\":" + std::to_string(a.screen.width) +
                          ",\"height\":" + std::to_string(a.screen.height) + ",\"loop_count\":" +
                          (a.loopCount ? std::to_string(*a.loopCount) : "null") + ",\"frames\":[";
        for (std::size_t i = 0; i < a.frames.size(); ++i)
            out += (i ? ",{\"delay_cs\":" : "{\"delay_cs\":") +
                   std::to_string(a.frames[i].delayCs) + "}";
        out += "],\"step_cs\":" + std::to_string(list.stepCs) +
               ",\"list_length\":" + std::to_string(list.entries.size()) +
               ",\"duration_s\":" + jsonNumber(list.durationSeconds()) + "}";
        std::cout << out << "\n";
        return 0;
    }
    std::cout << "canvas:      " << a.screen.width << " x " << a.screen.height << "\n"
              << "loop count:  " << loopText(a.loopCount) << "\n"
              << "frames:      " << a.frames.size() << "\n"
              << "delays (cs):";
    for (const auto& f : a.frames)
        std::cout << " " << f.delayCs;
    std::cout << "\n"
              << "step:        " << list.stepCs << " cs\n"
              << "list length: " << list.entries.size() << "\n"
              << "duration:    " << secondsText(list.durationSeconds()) << " s\n";
    return 0;
}

int runFrames(const std::vector<std::string>& input) {
    auto args = input;
    const bool force = takeFlag(args, "--force");
    if (auto unknown = unknownOption(args))
        return fail("unknown option " + *unknown + " for frames");
    if (args.size() != 2)
        return fail("usage: flickbook-cli frames FILE.gif DIR [--force]");
    auto animation = decodeForTool(args[0]);
    if (!animation)
        return fail(args[0] + ": " + animation.error().message);
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
    const auto& a = *animation;
    for (std::size_t i = 0; i < a.frames.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "frame_%04zu.png", i);
        auto written =
            image::writePng(dir / name, a.screen.width, a.screen.height, a.frames[i].rgba);
        if (!written)
            return fail(written.error().message);
    }
    std::cout << "wrote " << a.frames.size() << " frames to " << dir.string() << "\n";
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
