// The commands of the hostsim program, parsed from the command line before
// the add-on is loaded and then run in order against one loaded add-on.
#pragma once

#include <string>
#include <vector>

namespace hostsim {

class Host;

struct Command {
  std::string name;
  std::vector<std::string> args;
  std::string text() const;
};

struct CommandParse {
  bool ok = false;
  std::string error;
  std::vector<Command> commands;
};

CommandParse parseCommands(const std::vector<std::string>& words);
bool isCommandName(const std::string& word);

class CommandRunner {
 public:
  explicit CommandRunner(Host& host) : host_(host) {}
  // False when the command failed (the run goes on; the exit code tells).
  bool run(const Command& command);

 private:
  bool info();
  bool serve(double seconds);
  bool channels(double waitSeconds);
  bool groups();
  bool timers();
  bool recordings(double waitSeconds);
  bool recordingCall(const Command& c);
  bool probeRecording(const std::string& id);
  bool timerCall(const Command& c);
  bool menu(const std::vector<std::string>& args);
  bool setting(const std::string& name, const std::string& value);
  bool play(const std::vector<std::string>& args, const std::string& how = "play");
  unsigned int channelUid(const std::string& numberOrId);
  void print(const std::string& line);

  Host& host_;
};

}  // namespace hostsim
