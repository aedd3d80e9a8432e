// Sockets: two copies of a program talking over TCP and UDP.
//
// One copy serves: it listens for a TCP connection on a port and opens a UDP
// socket on the next one. The other talks: it connects, sends a line, reads
// the answer, then sends a datagram and reads the reply. Sockets never block
// the game: a receive with nothing there returns -2 at once, so each copy
// polls its sockets once a frame and keeps drawing.
//
// What this shows: listening, accepting, connecting with a time-out,
// sending and receiving on a stream, datagrams with the sender's address,
// the address text, and closing.
//
// In two terminals (or headless, with SDL_VIDEODRIVER=offscreen):
//   ./example_sockets serve 27950
//   ./example_sockets talk 27950
#include <moxtril.h>

namespace {

RtArray<RtString> shown;  // the lines on screen

void say(const RtString& text) {
  mxt_stdout(text + "\n");
  mxt_array_push(shown, text);
}

void draw() {
  for (int i = 0; i < mxt_array_bounds(shown, 0) && i < 20; ++i) mxt_print(shown(i), 8, 8 + i * 10.0, 0);
  mxt_show_screen();
}

// Waits for data on a socket, drawing frames meanwhile; "" when the peer
// closed or 5 s passed.
RtString receive(int socket) {
  RtString data;
  const double started = mxt_elapsed_ms();
  while (mxt_elapsed_ms() - started < 5000) {
    const int n = mxt_net_receive(socket, data, 512);
    if (n > 0) return data;
    if (n == 0 || n == -1) break;  // closed, or an error
    draw();                        // -2: nothing yet
  }
  return RtString();
}

void serve(int port) {
  const int listener = mxt_tcp_listen(port);
  const int udp = mxt_udp_open(port + 1);
  if (listener < 0 || udp < 0) {
    say("cannot listen: " + mxt_net_error_text());
    return;
  }
  say(RtString("listening on ") + port + ", datagrams on " + (port + 1));
  RtString peer;
  int connection = -1;
  const double started = mxt_elapsed_ms();
  while (connection < 0 && mxt_elapsed_ms() - started < 10000) {
    connection = mxt_tcp_accept(listener, peer);  // -1 while nobody is waiting
    draw();
  }
  if (connection < 0) {
    say("nobody came");
    return;
  }
  say("connection from " + mxt_address_text(peer));
  say("tcp got: " + receive(connection));
  mxt_net_send(connection, "hello from serve");

  // A datagram's sender is the socket's address until the next one comes.
  const RtString ping = receive(udp);
  say("udp got: " + ping + ", from " + mxt_address_text(mxt_socket_address(udp)));
  mxt_udp_send(udp, "pong from serve", mxt_socket_address(udp), mxt_socket_port(udp));
  receive(connection);  // returns "" when the other side closes
  mxt_net_close(connection);
  mxt_net_close(listener);
  mxt_net_close(udp);
}

void talk(int port) {
  // The server may still be starting: try for a few seconds.
  int connection = -1;
  for (int tries = 0; tries < 50 && connection < 0; ++tries) {
    connection = mxt_tcp_connect("127.0.0.1", port, 1000);
    if (connection < 0) mxt_sleep(100);
  }
  if (connection < 0) {
    say("cannot connect: " + mxt_net_error_text());
    return;
  }
  say(RtString("connected to ") + mxt_address_text(mxt_socket_address(connection)) + " port " +
      mxt_socket_port(connection));
  mxt_net_send(connection, "hello from talk");
  say("tcp got: " + receive(connection));

  const int udp = mxt_udp_open(0);  // 0: the system picks our port
  mxt_udp_send(udp, "ping from talk", mxt_resolve_name("127.0.0.1"), port + 1);
  say("udp got: " + receive(udp));
  mxt_net_close(udp);
  mxt_net_close(connection);
}

}  // namespace

void project_settings() {
  mxt_settings().screen_width = 400;
  mxt_settings().screen_height = 120;
  mxt_settings().frame_rate = 60;
  mxt_app_title() = "Moxtril example: sockets";
}

int mxt_main() {
  RtArray<RtString> args;
  const int n = mxt_split_text(mxt_command_line(), args, " ", 1);
  const RtString role = n > 1 ? args(1) : RtString("serve");
  const int port = n > 2 ? args(2).to_int() : 27950;
  mxt_net_start();  // one reference on the socket layer, given back below
  if (role == "talk")
    talk(port);
  else
    serve(port);
  mxt_net_stop();
  say("done");
  return 0;
}
