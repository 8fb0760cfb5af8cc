// flickbook-cli: Flickbook's engine from a terminal.

#include "commands.h"
#include "core/heap_reuse.h"
#include "core/temporary_files.h"
#include "store/gif_store.h"

#include <QCoreApplication>
#include <iostream>
#include <new>
#include <string>
#include <system_error>
#include <vector>

namespace {

constexpr const char* kUsage = R"(usage: flickbook-cli COMMAND [ARGS]

commands:
  info FILE.gif [--json]   canvas, loop count, per-frame delays (cs), step, list length, duration
  frames FILE.gif DIR [--force]
                           every frame composited to full-canvas RGBA PNG, frame_0000.png ...;
                           a folder already holding frame_*.png only with --force (replaced)
  images IMG... [--frame-time S] [FIT] [-o OUT.gif]
                           a GIF of pictures in the order given; S is one of 0.2s ... 0.9s,
                           1s, 1.5s, 1.75s, 2s (default 1s)
  video FILE [--start S --end E] [--speed 2x|1.5x|1x|0.75x|0.5x] [FIT] [-o OUT.gif]
                           a GIF of a video (default speed 1x: 5 frames a second, 0.2 s each),
                           of the stretch from S to E seconds when given
  cut FILE --start S --end E [-o OUT]
                           the stretch from S to E seconds as a new video file, without
                           re-encoding (default FILE-cut.mp4 in the current folder)
  list [--json]            the work list, newest first
  delete NAME              delete a GIF from the work list

FIT, for images and video:
  --bounce                 play forward, then back (2n-2 frames, each with the same delay)
  --max-edge PX            the picture's long edge at most PX pixels (default 1920; never enlarged)
  --max-size SIZE          a budget such as 10MB, 800KB or 2.5MB (KB, MB, GB are powers of 1000;
                           KiB, MiB, GiB of 1024): the GIF is made as large as fits, never over
  --estimate               print about how large the GIF will be, and make nothing

Without -o a new GIF goes into the work list and its path is printed.
"--" ends the options: every argument after it is a file name.
The work list is $XDG_DATA_HOME/Flickbook/Documents/MyWork (default ~/.local/share/...).
)";

int run(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "-h" || args[0] == "--help" || args[0] == "help") {
        (args.empty() ? std::cerr : std::cout) << kUsage;
        return args.empty() ? 1 : 0;
    }
    const std::string command = args[0];
    args.erase(args.begin());
    // Interrupted, this process removes its temporary files; those of
    // processes killed outright are cleared here.
    flickbook::temporary::removeTemporaryFilesOnSignals();
    flickbook::store::GifStore::standard().removeStaleTemporaryFiles();
    using namespace flickbook::cli;
    if (command == "info")
        return runInfo(args);
    if (command == "frames")
        return runFrames(args);
    if (command == "images" || command == "video") {
        // Qt's image readers find their format plugins through the application.
        QCoreApplication app(argc, argv);
        return command == "images" ? runImages(args) : runVideo(args);
    }
    if (command == "cut")
        return runCut(args);
    if (command == "list")
        return runList(args);
    if (command == "delete")
        return runDelete(args);
    fail("unknown command '" + command + "'");
    std::cerr << kUsage;
    return 1;
}

} // namespace

// The engine reports its errors as results; what still escapes here (memory
// or threads refused outside the engine, in Qt or the standard library) ends
// the command the same way, with a message and status 1 instead of an abort.
int main(int argc, char** argv) {
    using flickbook::cli::fail;
    flickbook::reuseFreedPictureMemory();
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        return fail("out of memory");
    } catch (const std::system_error& e) {
        return fail(std::string("the system refused: ") + e.what());
    } catch (const std::exception& e) {
        return fail(e.what());
    }
}
