// Networking: the command sheet.
//
// Sockets are numbered 0 to 1023 and non-blocking unless made blocking.
// One address family serves the whole process (IPv4 until mxt_net_family(6)).
// Addresses travel as raw strings of their bytes (4 for IPv4, 16 for IPv6);
// mxt_address_text writes them for people. Every socket command records the
// WinSock code of its last call (10035 would block, 10036 a connection
// time-out, 10054 reset, 10061 refused, 8 the table is full), which
// mxt_net_error_text gives with the system's words. Nothing here prints or
// ends the program; wrong arguments record runtime error 4.
#pragma once

#include "runtime/types/types.h"

// ---------------------------------------------------------------------------
// Sockets

int mxt_net_start();                                   // takes a reference on the socket layer; 1 [fails: 0]
int mxt_net_stop();                                    // releases one; the count left, or the last error after
                                                       // the last one, which closes every socket [cannot fail]
int mxt_net_family(int version);                       // 4 or 6; the family code 2 or 23 [fails: error 4, IPv4]
int mxt_tcp_listen(int port);                          // on every address, low 16 bits of port; handle [fails: -1]
int mxt_tcp_accept(int handle, RtString& peer);        // a waiting connection; peer = its raw address; handle
                                                       // [fails: -1, peer ""]
int mxt_tcp_connect(const RtString& host, int port, int timeout_ms);  // waits up to timeout_ms (1..30000, else
                                                       // 30 s); handle [fails: -1 (10036 once the time-out passed)]
int mxt_udp_open(int port);                            // port 0: no fixed port; handle [fails: -1]
int mxt_net_send(int handle, const RtString& data);    // every byte of data on a connected socket; bytes sent
                                                       // [fails: -1, always on a UDP socket]
int mxt_udp_send(int handle, const RtString& data, const RtString& address, int port);  // one datagram to the raw
                                                       // address; bytes sent [fails: -1, error 4 for a bad address]
int mxt_net_receive(int handle, RtString& data, int max_size);  // what is there, at most max_size bytes; the count,
                                                       // 0 when the peer closed, -2 when nothing is there
                                                       // [fails: -1, data ""]
RtString mxt_resolve_name(const RtString& host);       // raw address of the current family
                                                       // [fails: 4 zero bytes]
RtString mxt_address_text(const RtString& raw);        // "127.0.0.1", "::1", "::ffff:10.0.0.1"
                                                       // [fails: "0.0.0.0", error 4 unless 4 or 16 bytes]
RtString mxt_socket_address(int handle);               // bound, peer or last sender's raw address
                                                       // [fails: 4 zero bytes for a free handle]
int mxt_socket_port(int handle);                       // that address's port [fails: 0 for a free handle]
int mxt_net_close(int handle);                         // 1 when closed [fails: 0]
int mxt_net_blocking(int handle, int blocking);        // non-zero blocking, 0 not; the last socket error
                                                       // [cannot fail]
RtString mxt_local_addresses();                        // this machine's addresses, "|" between, loopback last
                                                       // [fails: ""]
RtString mxt_net_error_text();                         // "10061 Connection refused" for the last socket error
                                                       // [fails: "" when the system has no words for it]

// ---------------------------------------------------------------------------
// HTTP download
//
// One GET of http://host:port/path (host a name or address, path as sent,
// port 0 for 80). The status is not judged (a 404 page is a download too)
// and redirects are not followed. The time-out bounds the connection and
// every silence of the server afterwards.

int mxt_http_get_file(const RtString& host, const RtString& path, int port,
                      const RtString& file, int timeout_ms);  // the body into file, replaced only on success; 1
                                                       // [fails: 0, an existing file kept]
RtString mxt_http_get_text(const RtString& host, const RtString& path, int port,
                           int max_length, int timeout_ms);  // the body, at most max_length bytes, up to a zero byte
                                                       // [fails: what arrived, often ""]

// ---------------------------------------------------------------------------
// Network messaging
//
// Copies of a game exchange short texts between named players. One copy
// hosts (port 27910 unless given), the others join it; every copy makes its
// own players and gets ids for them from the host (101, 102, ...). Texts
// are at most 1024 bytes and arrive in the order each player sent them; a
// text to 0 goes to every visible player but the sender. Requests about the
// players wait up to 5 s for the host's answer. A copy whose host went away
// drops back to not connected by itself.

int mxt_net_host(int port);                            // host a game (port < 1: 27910); 1 [fails: 0]
int mxt_net_join(const RtString& host, int port);      // join a host (port < 1: 27910); 1 when it answered
                                                       // [fails: 0]
int mxt_net_leave();                                   // stops; queued texts stay readable; the socket
                                                       // layer's count [cannot fail]
void mxt_net_allow_joins(int allow);                   // host: 0 turns away new copies and players
                                                       // [cannot fail]
int mxt_net_connected();                               // 1 while hosting or joined [cannot fail]
int mxt_player_create(const RtString& name);           // a player of this copy (name cut to 127 characters);
                                                       // its id [fails: 0]
void mxt_player_remove(int id);                        // tells the host the player left [cannot fail]
int mxt_player_send(int from, int to, const RtString& text);  // to 0: every visible player but from; 1
                                                       // [fails: 0]
RtString mxt_player_receive(int id);                   // the oldest text for a player of this copy, up to a
                                                       // zero byte [fails: "" when none]
int mxt_player_sender();                               // the sender of the text mxt_player_receive last took
                                                       // [cannot fail]
int mxt_player_id(int index);                          // the id of the index-th visible player, from 0
                                                       // [fails: 0]
int mxt_player_count();                                // visible players in the game [fails: 0]
RtString mxt_player_name(int id);                      // any player's name [fails: "NO_DATA"]
int mxt_player_left();                                 // host: a player who left, newest first [fails: 0 when
                                                       // none, always on a joined copy]
