// HTTP download: fetch a text from a web server and show it.
//
// mxt_http_get_text returns a body as a string; mxt_http_get_file saves one
// to a file. Both block the game until the body is in (or the time-out
// passes with the server silent), so fetch before the game loop or between
// levels, not every frame. The status is not judged: a 404 page arrives
// like any other page, so check what you got.
//
// What this shows: fetching a text and a file, the failure value and the
// socket error's text, and drawing the text that came.
//
// Start a server first, then the example with its port and a path:
//   python3 -m http.server 8000 --bind 127.0.0.1 &
//   SDL_VIDEODRIVER=offscreen MXT_FRAMES=30 ./example_http 8000 /hello.txt
#include <moxtril.h>

namespace {

void say(const RtString& text) { mxt_stdout(text + "\n"); }

}  // namespace

void project_settings() {
  mxt_settings().screen_width = 480;
  mxt_settings().screen_height = 200;
  mxt_settings().frame_rate = 30;
  mxt_app_title() = "Moxtril example: http";
}

int mxt_main() {
  // The command line is one text: program, port, path.
  RtArray<RtString> args;
  const int n = mxt_split_text(mxt_command_line(), args, " ", 1);
  const int port = n > 1 ? args(1).to_int() : 8000;
  const RtString path = n > 2 ? args(2) : RtString("/hello.txt");

  // At most 4096 bytes of the body, waiting at most 3 s for the server.
  const RtString text = mxt_http_get_text("127.0.0.1", path, port, 4096, 3000);
  if (text.empty()) {
    say("nothing came: " + mxt_net_error_text());
  } else {
    say(RtString("fetched ") + mxt_text_length(text) + " bytes");
  }

  // The same body into a file. It is replaced only when the whole body
  // arrived: a failed download leaves an earlier copy as it was.
  if (mxt_http_get_file("127.0.0.1", path, port, "download.txt", 3000) == 1)
    say(RtString("saved download.txt, ") + static_cast<int>(mxt_file_size("download.txt")) + " bytes");
  else
    say("download failed: " + mxt_net_error_text());

  // Show the text a line at a time, for a few seconds.
  RtArray<RtString> lines;
  const int count = mxt_split_text(text, lines, "\n", 0);
  for (int i = 0; i < count; ++i) say("| " + mxt_trim_right_text(lines(i), "\r"));
  const double started = mxt_elapsed_ms();
  while (mxt_elapsed_ms() - started < 3000) {
    for (int i = 0; i < count && i < 20; ++i) mxt_print(mxt_trim_right_text(lines(i), "\r"), 8, 8 + i * 10.0, 0);
    mxt_show_screen();
  }
  return 0;
}
