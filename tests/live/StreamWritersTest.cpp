// The pool behind the stream writers, the send queue and the disk writer.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <set>
#include <string>
#include <thread>

#include "common/Globals.h"
#include "common/HostServices.h"
#include "live/BufferPool.h"
#include "live/Disco.h"
#include "live/SockBuffer.h"
#include "support/InProcessHost.h"

namespace {

using namespace std::chrono_literals;

TEST(BufferPoolTest, GrowsWhenNoBufferIsFreeAndNeverHandsOutOneInUse) {
  const struct {
    const char* name;
    size_t step, cap;
  } cases[] = {{"send queue", SockBuffer::kPaso, SockBuffer::kMaximo},
               {"disk writer", Disco::kPaso, Disco::kMaximo}};
  for (const auto& c : cases) {
    BufferPool pool(16, c.step, c.cap);
    BufferPool::Entry inFlight;
    std::set<char*> handed;
    for (size_t n = 0; n < c.cap; ++n) {
      char* buffer = pool.Get(0ms);
      ASSERT_NE(buffer, nullptr) << c.name << " " << n;
      EXPECT_EQ(pool.Get(0ms), buffer) << "the same until queued";
      EXPECT_TRUE(handed.insert(buffer).second) << c.name << ": handed out twice";
      EXPECT_EQ(pool.size(), c.step * (n / c.step + 1)) << c.name << " " << n;
      ASSERT_TRUE(pool.Put(buffer, static_cast<int>(n)));
      if (n == 0) {
        ASSERT_TRUE(pool.Take(inFlight, 0ms));  // being written
      }
    }
    EXPECT_EQ(pool.size(), c.cap);
    EXPECT_EQ(pool.Get(20ms), nullptr) << c.name << ": full pool";
    pool.Done(inFlight);
    EXPECT_EQ(pool.Get(0ms), inFlight.data) << c.name;
    pool.Close();
    BufferPool::Entry oldest;
    EXPECT_TRUE(pool.Take(oldest, 0ms) && oldest.length == 1) << "closed pools still drain";
  }
}

TEST(SockBufferTest, SendsInOrderAndEndsOnASendError) {
  InProcessHost host;
  ModoDebug = true;
  int pair[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
  auto sender = std::make_unique<SockBuffer>(pair[0]);
  for (char c : std::string("abc")) {
    memset(sender->GetBuffer(), c, 1000);
    ASSERT_TRUE(sender->Escribir(sender->GetBuffer(), 1000));
  }
  std::string received(3000, '\0');
  ASSERT_EQ(recv(pair[1], &received[0], received.size(), MSG_WAITALL), 3000);
  EXPECT_EQ(received, std::string(1000, 'a') + std::string(1000, 'b') + std::string(1000, 'c'));

  close(pair[1]);
  ASSERT_TRUE(sender->Escribir(sender->GetBuffer(), 1000));
  for (int i = 0; i < 100 && sender->Estado() != 100; ++i) std::this_thread::sleep_for(20ms);
  EXPECT_EQ(sender->Estado(), 100);
  EXPECT_FALSE(sender->Escribir(sender->GetBuffer(), 10));
  EXPECT_EQ(sender->GetBuffer(), nullptr);
  EXPECT_TRUE(host.Logged("DLNA Error: 32"));  // EPIPE
  sender.reset();
  close(pair[0]);
  ModoDebug = false;
}

// A client that stops reading: the queue is dropped after its drain time
// instead of holding the owner that lets the sender go.
TEST(SockBufferTest, AClientThatStopsReadingDoesNotHoldTheEnd) {
  InProcessHost host;
  int pair[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
  auto sender = std::make_unique<SockBuffer>(pair[0]);
  for (int n = 0; n < 20; ++n) {
    char* buffer = sender->GetBuffer();
    ASSERT_NE(buffer, nullptr);
    memset(buffer, 'x', static_cast<size_t>(sender->GetLongitud()));
    ASSERT_TRUE(sender->Escribir(buffer, sender->GetLongitud()));
  }
  const auto start = std::chrono::steady_clock::now();
  sender.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  close(pair[0]);
  close(pair[1]);
}

TEST(DiscoTest, WritesWhatIsQueuedBeforeItEndsAndReportsAFailedWrite) {
  InProcessHost host;
  void* file = TheHost().OpenFileForWrite(host.user().file("grabacion.ts"), true);
  auto writer = std::make_unique<Disco>(file);
  const size_t length = static_cast<size_t>(writer->GetLongitud());
  std::string expected;
  for (char c = 'a'; c < 'a' + 12; ++c) {
    memset(writer->GetBuffer(), c, length);
    expected += std::string(length, c);
    ASSERT_TRUE(writer->Escribir(writer->GetBuffer(), static_cast<int>(length)));
  }
  writer->Finalizar();
  EXPECT_EQ(writer->GetBuffer(), nullptr);
  writer.reset();
  TheHost().CloseFile(file);
  EXPECT_TRUE(host.user().Read("grabacion.ts") == expected);

  int reported = 0;
  void* readOnly = TheHost().OpenFile(host.user().file("grabacion.ts"), 0);
  Disco failing(readOnly, [&] { ++reported; });
  for (int n = 0; n < 3; ++n) {
    ASSERT_TRUE(failing.Escribir(failing.GetBuffer(), 100)) << "a failed write does not refuse";
    std::this_thread::sleep_for(50ms);
  }
  failing.Finalizar();
  failing.StopThread(2000);
  EXPECT_EQ(failing.Error(), 1);
  EXPECT_EQ(reported, 1);
  EXPECT_TRUE(host.Logged("Disco: error de escritura"));
  TheHost().CloseFile(readOnly);
}

}  // namespace

TEST(DiscoTest, PoolStaysWithin64MiBWhateverTheBufferSize) {
  const struct {
    const char* name;
    int bufsize;
    size_t buffers;  // the cap in buffers
  } cases[] = {{"default", 128000, Disco::kMaximo},
               {"1 MiB", 1 << 20, 12},
               {"100 MiB", 100 << 20, Disco::kPaso},
               {"zero", 0, Disco::kMaximo}};
  for (const auto& c : cases) {
    const size_t longitud = Disco::Longitud(c.bufsize);
    EXPECT_GT(longitud, 0u) << c.name;
    EXPECT_EQ(Disco::Maximo(longitud), c.buffers) << c.name;
    EXPECT_LE(longitud * Disco::Maximo(longitud), Disco::kBytesMaximo) << c.name;
  }
}
