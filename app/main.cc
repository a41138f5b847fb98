
#include "app/arguments.h"
#include "app/command_file.h"
#include "app/exit_status.h"
#include "app/process_command.h"
#include "exchange/connection.h"
#include "platform/console.h"
#include "platform/process.h"
#include "platform/text_file.h"

namespace {

// Prints why the command file gave no command, and gives the run's status.
app::ExitStatus ReportUnreadFile(const app::CommandFile& command) {
  switch (command.outcome) {
    case app::CommandFileRead::kDidNotOpen:
      platform::Print("Can't open JSON file");
      break;
    case app::CommandFileRead::kTooLarge:
      platform::Print("ERROR - JSON file is larger than %d bytes\n",
                      static_cast<int>(app::kCommandFileLimit));
      break;
    case app::CommandFileRead::kOutOfMemory:
      platform::Print("ERROR - out of memory reading JSON file\n");
      break;
    case app::CommandFileRead::kDidNotEnd:
      platform::Print("ERROR - JSON file did not end within 5 minutes\n");
      break;
    case app::CommandFileRead::kTextAfterZero:
      // Sending the text before the zero would change the command without a
      // word. The offset lies within the file limit, so it fits an int.
      platform::Print("ERROR - JSON file has a zero byte at byte %d and text after it\n",
                      static_cast<int>(command.text.size()));
      return app::kBadCommand;
    case app::CommandFileRead::kRead:
      break;
  }
  return app::kCommandFileFailed;
}

}  // namespace

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
  app::CommandFile command = app::ReadCommandFile(platform::PathArgument(argc, argv, 4));
  app::ExitStatus status = app::kOk;
  if (command.outcome == app::CommandFileRead::kRead) {
    status = app::ProcessCommand(connection.socket, layer_number, command.text);
  } else {
    status = ReportUnreadFile(command);
  }
  exchange::CloseConnection(connection.socket);
  return status;
}
