// larkwire-sim: a rehearsal layer server. It judges each request larkwire
// sends, reports it, and answers as told, faults included.
#include <CLI/CLI.hpp>
#include <asio/ip/address.hpp>
#include <map>
#include <string>

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
      port.find_first_not_of("0123456789") != std::string::npos || std::stoi(port) < 1 ||
      std::stoi(port) > 65535) {
    return "the port must be a number 1..65535";
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

}  // namespace

int main(int argc, char** argv) {
  sim::ServerOptions options;
  CLI::App app{
      "larkwire-sim: a rehearsal layer server. It checks each request larkwire sends, prints "
      "one line per request and answers Ok, or Error with the reason."};
  app.failure_message(CLI::FailureMessage::help);

  std::string listen = options.address + ":" + std::to_string(options.port);
  app.add_option("--listen", listen, "Address and port to listen on")
      ->type_name("ADDR:PORT")
      ->capture_default_str()
      ->check([&options](const std::string& text) { return ParseListenAddress(text, options); });

  const std::map<std::string, sim::AnswerMode> answer_modes = {
      {"judge", sim::AnswerMode::kJudge}, {"ok", sim::AnswerMode::kOk},
      {"error", sim::AnswerMode::kError}, {"none", sim::AnswerMode::kNone},
      {"close", sim::AnswerMode::kClose}, {"reset", sim::AnswerMode::kReset}};
  std::string answer = "judge";
  app.add_option("--answer", answer,
                 "judge: Ok, or Error with the reason, by the request's checks; ok, error: that "
                 "answer whatever the request; none: no answer; close: close without answering; "
                 "reset: reset the connection")
      ->type_name("MODE")
      ->capture_default_str()
      ->check(CLI::IsMember({"judge", "ok", "error", "none", "close", "reset"}));
  app.add_option("--delay", options.delay_ms, "Milliseconds between request and answer")
      ->type_name("MS")
      ->check(CLI::Range(0, 3600000));
  app.add_flag("--split", options.split,
               "Send the answer in two pieces with a pause inside the word status");
  app.add_option("--log", options.log_path,
                 "Append each raw request with its verdict to FILE as JSON Lines")
      ->type_name("FILE");

  CLI11_PARSE(app, argc, argv);
  options.answer = answer_modes.at(answer);
  return sim::RunServer(options);
}
