// larkwire-sim: a rehearsal layer server. It judges each request larkwire
// sends, reports it, and answers as told, faults included.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <asio/ip/address.hpp>
#include <iostream>
#include <string>

#include "platform/process.h"
#include "sim/limits.h"
#include "sim/server.h"

namespace {

// Splits "ADDR:PORT"; the message tells what is wrong, empty when nothing is.
std::string ParseListenAddress(const std::string& text, sim::ServerOptions& options) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos) {
    return "expected ADDR:PORT";
  }
  const std::string port = text.substr(colon + 1);
  if (port.empty() || port.size() > 5 ||
      port.find_first_not_of("0123456789") != std::string::npos || std::stoi(port) > 55555) {
    return "the port must be a number 0..55555, the ports larkwire takes (0: any free port)";
  }
  asio::error_code error;
  asio::ip::make_address(text.substr(0, colon), error);
  if (error) {
    return "the address must be a numeric IP address";
  }
  options.address = text.substr(0, colon);
  options.port = static_cast<unsigned short>(std::stoi(port));
  return "";
}

// Lets decimal digits alone through, as the client reads its numbers: read
// as a C number, 01000 would be octal and 0x400 hexadecimal. Leading zeros go.
std::string DecimalDigits(std::string& text) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
    return "the delay must be decimal digits";
  }
  text.erase(0, std::min(text.find_first_not_of('0'), text.size() - 1));
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  // Closed standard streams are opened on the null device, so that neither
  // the log nor a socket takes their numbers; a gone reader ends no process.
  platform::PrepareProcess();
  sim::ServerOptions options;
  CLI::App app{
      "larkwire-sim: a rehearsal layer server. It checks each request larkwire sends, prints "
      "one line per request and answers Ok, or Error with the reason."};
  app.set_version_flag("--version", "larkwire-sim " LARKWIRE_VERSION);
  // As with most tools, an option given twice takes its last value.
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

  app.add_option("--listen", "Address and port to listen on; port 0: a free port in 20000..55555")
      ->type_name("ADDR:PORT")
      ->default_str(options.address + ":" + std::to_string(options.port))
      ->check([&options](const std::string& text) { return ParseListenAddress(text, options); });
  app.add_option("--answer",
                 "judge: Ok, or Error with the reason, by the request's checks; ok, error: that "
                 "answer whatever the request; none: no answer; close: close without answering; "
                 "reset: reset the connection. A list such as ok,error,none plays one per "
                 "request in turn, the last for all later requests")
      ->type_name("MODE[,MODE...]")
      ->default_str(sim::AnswerPlanText(options.answers))
      ->check([&options](const auto& text) { return sim::ParseAnswerPlan(text, options.answers); });
  app.add_option("--delay", options.delay_ms, "Milliseconds between request and answer")
      ->type_name("MS")
      ->check(CLI::Range(0, sim::kLongestDelayMs))
      ->transform(CLI::Validator(DecimalDigits, "", ""));
  app.add_flag("--split", options.split,
               "Send the answer in two pieces with a pause inside the word status")
      ->disable_flag_override();
  app.add_option("--log", options.log_path,
                 "Append each request with its verdict and the answer sent to FILE as JSON Lines")
      ->type_name("FILE")
      ->check([](const std::string& path) {
        return path.empty()  ? "name a file"
               : path == "-" ? "standard output holds the readable lines; name a file"
                             : "";
      });

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& done) {
    return app.exit(done);  // --help, --version
  } catch (const CLI::ParseError& error) {
    std::cerr << "larkwire-sim: " << error.what() << " (see larkwire-sim --help)" << std::endl;
    return 2;
  }
  return sim::RunServer(options);
}
