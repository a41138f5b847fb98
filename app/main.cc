#include <string>
#include <utility>

#include "app/arguments.h"
#include "app/command_file.h"
#include "app/exit_status.h"
#include "app/process_command.h"
#include "exchange/connection.h"
#include "platform/console.h"

// larkwire IP Port N file.json: hands one command to the layer server and
// tells by its output and exit status whether the server accepted it.
int main(int argc, char* argv[]) {
  platform::PrepareProcess();
  if (argc != 5) {
    app::PrintUsage();
    return app::kUsage;
  }
  const int port = app::ConvertLikeAtoi(argv[2]);
  if (!app::IsValidPort(port)) {
    platform::Print("Bad port number %d (must be 1..55555)", port);
    return app::kBadPort;
  }
  const int layer_number = app::ConvertLikeAtoi(argv[3]);
  if (!app::IsValidLayer(layer_number)) {
    platform::Print("Bad layer number %d (must be 1..99)", layer_number);
    return app::kBadLayer;
  }

  const exchange::Connection connection = exchange::OpenConnection(argv[1], port);
  switch (connection.outcome) {
    case exchange::ConnectOutcome::kConnected:
      break;
    case exchange::ConnectOutcome::kSocketLibraryFailed:
      return app::kSocketLibraryFailed;
    case exchange::ConnectOutcome::kConnectFailed:
      return app::kConnectFailed;
  }

  // The connection stands before the command file is looked at.
  std::string command_text;
  switch (app::ReadCommandFile(argv[4], command_text)) {
    case app::CommandFileRead::kRead:
      break;
    case app::CommandFileRead::kDidNotOpen:
      platform::Print("Can't open JSON file");
      exchange::CloseConnection(connection.socket);
      return app::kCommandFileFailed;
    case app::CommandFileRead::kTooLarge:
      platform::Print("ERROR - JSON file is larger than %d bytes\n",
                      static_cast<int>(app::kCommandFileLimit));
      exchange::CloseConnection(connection.socket);
      return app::kCommandFileFailed;
    case app::CommandFileRead::kOutOfMemory:
      platform::Print("ERROR - out of memory reading JSON file\n");
      exchange::CloseConnection(connection.socket);
      return app::kCommandFileFailed;
  }
  const app::ExitStatus status =
      app::ProcessCommand(connection.socket, layer_number, std::move(command_text));
  exchange::CloseConnection(connection.socket);
  return status;
}
