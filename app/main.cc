#include <string>
#include <utility>

#include "app/arguments.h"
#include "app/command_file.h"
#include "app/exit_status.h"
#include "app/process_command.h"
#include "exchange/connection.h"
#include "platform/console.h"
#include "platform/startup.h"

// larkwire IP Port N file.json: hands one command to the layer server and
// tells by its output and exit status whether the server accepted it.
int main(int argc, char* argv[]) {
  platform::PrepareProcess();
  if (argc != 5) {
    PrintUsage();
    return kUsage;
  }
  const int port = ConvertLikeAtoi(argv[2]);
  if (!IsValidPort(port)) {
    platform::Print("Bad port number %d (must be 1..55555)", port);
    return kBadPort;
  }
  const int layer_number = ConvertLikeAtoi(argv[3]);
  if (!IsValidLayer(layer_number)) {
    platform::Print("Bad layer number %d (must be 1..99)", layer_number);
    return kBadLayer;
  }

  const exchange::Connection connection = exchange::OpenConnection(argv[1], port);
  switch (connection.outcome) {
    case exchange::ConnectOutcome::kConnected:
      break;
    case exchange::ConnectOutcome::kSocketLibraryFailed:
      return kSocketLibraryFailed;
    case exchange::ConnectOutcome::kConnectFailed:
      return kConnectFailed;
  }

  // The connection stands before the command file is looked at.
  std::string command_text;
  switch (ReadCommandFile(argv[4], command_text)) {
    case CommandFileRead::kRead:
      break;
    case CommandFileRead::kDidNotOpen:
      platform::Print("Can't open JSON file");
      exchange::CloseConnection(connection.socket);
      return kCommandFileFailed;
    case CommandFileRead::kTooLarge:
      platform::Print("ERROR - JSON file is larger than %d bytes\n",
                      static_cast<int>(kCommandFileLimit));
      exchange::CloseConnection(connection.socket);
      return kCommandFileFailed;
    case CommandFileRead::kOutOfMemory:
      platform::Print("ERROR - out of memory reading JSON file\n");
      exchange::CloseConnection(connection.socket);
      return kCommandFileFailed;
  }
  const ExitStatus status =
      ProcessCommand(connection.socket, layer_number, std::move(command_text));
  exchange::CloseConnection(connection.socket);
  return status;
}
