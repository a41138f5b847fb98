/* The floor of the start-up benchmark: only what the protocol asks of any
 * client, and nothing of Larkwire. It connects to 127.0.0.1:PORT, sends one
 * complete request, pauses the protocol's 100 ms, reads once and prints four
 * lines, each written at once as the client's are. Linked statically, so that
 * it does not even load a shared library: what Larkwire takes beyond it is
 * Larkwire's own cost. */
#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

static const char kRequest[] =
    "{\"_id\":\"1000000\",\"params\":{\"clip\":\"news\",\"head_id\":\"1\",\"layer_id\":\"1\","
    "\"time\":17376336010000000},\"type\":\"DSK_Play\"}";

int main(int argc, char* argv[]) {
  if (argc != 2) {
    fprintf(stderr, "usage: protocol_floor PORT\n");
    return 2;
  }
  setvbuf(stdout, NULL, _IOLBF, 0);
  struct sockaddr_in address = {0};
  address.sin_family = AF_INET;
  address.sin_port = htons((unsigned short)strtol(argv[1], NULL, 10));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const int connection = socket(AF_INET, SOCK_STREAM, 0);
  if (connection < 0 || connect(connection, (struct sockaddr*)&address, sizeof address) != 0) {
    perror("protocol_floor: connect");
    return 1;
  }
  puts("Step 1/2: send command to layer N...");
  if (send(connection, kRequest, sizeof kRequest - 1, 0) != (ssize_t)(sizeof kRequest - 1)) {
    perror("protocol_floor: send");
    return 1;
  }
  puts("Step 2/2: wait answer for the command...");
  const struct timespec pause = {0, 100000000L}; /* 100 ms */
  nanosleep(&pause, NULL);
  char answer[4096];
  if (recv(connection, answer, sizeof answer, 0) <= 0) {
    perror("protocol_floor: recv");
    return 1;
  }
  puts("   OK answer detected.");
  puts("Finish OK elapsed times(ms): 100");
  close(connection);
  return 0;
}
