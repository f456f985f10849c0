#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "FakeAddonFolder.h"
#include "core/TestNetwork.h"

namespace {

struct CliRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// The fake add-on opens no socket, so it may run outside the test network.
CliRun hostsim(const hostsim_test::FakeAddonFolder& folder, const std::string& args,
               bool realNetwork = true) {
  std::string out = folder.root() + "/out.txt";
  std::string err = folder.root() + "/err.txt";
  std::string cmd = std::string(HOSTSIM_CLI) + " --addon " + folder.addonDir() + " --user " +
                    folder.userDir() + (realNetwork ? " --real-network " : " ") +
                    "--json-rpc-port 0 " + args + " >" + out + " 2>" + err;
  int status = std::system(cmd.c_str());
  CliRun r;
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = hostsim_test::readFile(out);
  r.err = hostsim_test::readFile(err);
  return r;
}

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(Cli, RunsCommandsInOrderWithAScript) {
  hostsim_test::FakeAddonFolder folder;
  hostsim_test::writeFile(folder.root() + "/gui.txt", "in DialogSiNo.xml click 11\n");
  CliRun r = hostsim(folder,
                     "--quiet-log --gui-script " + folder.root() +
                         "/gui.txt info menu 1 channels --wait 5 menu 3 rec-7 play 102 0.6 status");
  EXPECT_EQ(0, r.exitCode) << r.out << r.err;
  EXPECT_TRUE(has(r.out, "backend name: Fake Backend\n"));
  EXPECT_TRUE(has(r.out, "  bSupportsEPG: true\n"));
  EXPECT_TRUE(has(r.out, "  bSupportsLastPlayedPosition: false\n"));
  EXPECT_TRUE(has(r.out, "  hook 2: string 30202 \"S\xC3\xAD o no\", category 0 (all)\n"));
  EXPECT_TRUE(has(r.out, "[window DialogSiNo.xml] closed by the add-on after click 11\n"));
  EXPECT_TRUE(has(r.out, "  label 1: Pregunta\n"));
  EXPECT_TRUE(has(r.out, "channels: 3\n"));
  EXPECT_TRUE(has(r.out, "  channel 2: id 102, \"Canal 2\", logo /logos/2.png, group Todos\n"));
  EXPECT_TRUE(has(r.out, "menu hook 3: no error\n"));
  EXPECT_TRUE(has(r.out, "played channel 102: 100 packets, 18800 bytes\n"));
  EXPECT_TRUE(has(r.out,
                  "  stream 1: type 1, codec 86016 (mp2), 48000 Hz, 2 channels, language spa, "
                  "50 packets, pts 0.020 s to 3.980 s\n"));
  EXPECT_FALSE(has(r.out, "[log notice]"));  // --quiet-log
  EXPECT_TRUE(has(r.out, "0 failed commands"));
}

TEST(Cli, ExitCodesTellWhatFailed) {
  hostsim_test::FakeAddonFolder folder;
  CliRun usage = hostsim(folder, "info fly");
  EXPECT_EQ(1, usage.exitCode);
  EXPECT_TRUE(has(usage.err, "unknown command \"fly\""));

  hostsim_test::writeFile(folder.root() + "/bad.txt", "in DialogSiNo.xml clik 11\n");
  CliRun script = hostsim(folder, "--gui-script " + folder.root() + "/bad.txt info");
  EXPECT_EQ(1, script.exitCode);
  EXPECT_TRUE(has(script.err, "line 1: unknown step \"clik\""));

  CliRun broken = hostsim(folder, std::string("--host-lib ") + HOSTSIM_BROKEN_SYMBOL_DIR + " info");
  EXPECT_EQ(2, broken.exitCode);
  EXPECT_TRUE(has(broken.err, "hostsim: add-on failed to start: permanent failure (6)"));
  EXPECT_TRUE(has(broken.err, "Unable to assign function"));

  CliRun failedCommand = hostsim(folder, "menu 99 info");
  EXPECT_EQ(3, failedCommand.exitCode);
  EXPECT_TRUE(has(failedCommand.out, "backend name: Fake Backend"));

  // Only where a real interface exists (not inside scripts/netns-run.sh).
  if (!hostsim::outsideTestNetwork(hostsim::networkInterfaces()).empty()) {
    CliRun outside = hostsim(folder, "info", false);
    EXPECT_EQ(3, outside.exitCode);
    EXPECT_TRUE(has(outside.err, "scripts/netns-run.sh"));
    EXPECT_TRUE(has(outside.err, "--real-network"));
    EXPECT_FALSE(has(outside.out, "backend name"));
  }
}

}  // namespace
