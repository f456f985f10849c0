// The live client's read path: the RTP check, the socket reader with its
// carry-over and the recorder's leftover block, the timeshift ring file and
// the demuxer across a jump in the stream.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

extern "C" {
#include <libavutil/error.h>
}

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "common/Globals.h"
#include "common/HostServices.h"
#include "common/StorageLayout.h"
#include "live/Cliente.h"
#include "live/ComprobarRTP.h"
#include "live/Demuxer.h"
#include "support/InProcessHost.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

// An RTP header (version 2) with `csrc` CSRCs and, when `words` >= 0, an
// extension of that many 32-bit words, followed by `payload` bytes 0, 1, 2...
std::string Rtp(int payload, int type = 33, int csrc = 0, int words = -1) {
  std::string d(12, '\0');
  d[0] = static_cast<char>(0x80 | (words >= 0 ? 0x10 : 0) | csrc);
  d[1] = static_cast<char>(0x80 | type);  // marker set: it must not matter
  d += std::string(4 * csrc, 'c');
  if (words >= 0)
    d += std::string{'\xBE', '\xDE', static_cast<char>(words >> 8),
                     static_cast<char>(words & 0xFF)} +
         std::string(4 * words, 'x');
  for (int i = 0; i < payload; ++i) d += static_cast<char>(i & 0xFF);
  return d;
}

TEST(ComprobarRtpTest, HeaderSizesAndWhatIsNotRtp) {
  const struct {
    const char* name;
    std::string datagram;
    bool rtp;
    int offset;
  } cases[] = {
      {"plain header", Rtp(1316), true, 12},
      {"two CSRCs", Rtp(1316, 33, 2), true, 20},
      {"extension of one word", Rtp(188, 33, 0, 1), true, 20},
      {"CSRC and extension of 3 words", Rtp(376, 33, 1, 3), true, 32},
      {"payload type 96", Rtp(1316, 96), false, 0},
      {"payload not whole packets", Rtp(1000), false, 0},
      {"shorter than a header", Rtp(0).substr(0, 11), false, 0},
      {"extension cut short", Rtp(0, 33, 0, 1).substr(0, 15), false, 0},
      {"extension longer than the datagram", Rtp(0, 33, 0, 200).substr(0, 400), false, 0},
  };
  for (const auto& c : cases) {
    int length = static_cast<int>(c.datagram.size());
    int offset = -1;
    EXPECT_EQ(ComprobarRTP(c.datagram.data(), &length, offset), c.rtp) << c.name;
    EXPECT_EQ(offset, c.rtp ? c.offset : -1) << c.name;
    EXPECT_EQ(length, static_cast<int>(c.datagram.size()) - (c.rtp ? c.offset : 0)) << c.name;
  }
}

class LiveReadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CrearClienteUdp(datos_.Socket, "127.0.0.1", 0, 0, true));
    sockaddr_in bound{};
    socklen_t size = sizeof(bound);
    getsockname(datos_.Socket.fd(), reinterpret_cast<sockaddr*>(&bound), &size);
    to_ = bound;
    to_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sender_ = socket(AF_INET, SOCK_DGRAM, 0);
    datos_.Abierto = true;
  }
  void TearDown() override { close(sender_); }
  void Send(const std::string& datagram) {
    sendto(sender_, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to_),
           sizeof(to_));
  }
  std::string Read(int want) {
    std::string out(static_cast<size_t>(want), '\0');
    const int n = Cliente::LeerSockDirecto(&datos_, reinterpret_cast<uint8_t*>(&out[0]), want, 1);
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
  }

  InProcessHost host_;
  StructDatosSock datos_;
  sockaddr_in to_{};
  int sender_ = -1;
};

// The recorder's leftover block first (what does not fit waits), then the
// tail of the last datagram, then the socket, where a datagram's tail waits
// for the next read.
TEST_F(LiveReadTest, LeftoverBlockThenCarryThenDatagrams) {
  datos_.BufferMemoria.reset(new uint8_t[300]);
  memset(datos_.BufferMemoria.get(), 'm', 300);
  datos_.LongitudMemoria = 300;
  memcpy(datos_.BufferResto, "rrrr", 4);
  datos_.LongitudResto = 4;
  const std::string payload = Rtp(1316).substr(12);
  Send(Rtp(1316));
  Send(std::string(376, '\x47'));  // raw transport stream goes through whole
  EXPECT_EQ(Read(200), std::string(200, 'm'));
  EXPECT_EQ(Read(1104), std::string(100, 'm') + "rrrr" + payload.substr(0, 1000));
  EXPECT_EQ(datos_.LongitudResto, 316);
  EXPECT_EQ(Read(316 + 376), payload.substr(1000) + std::string(376, '\x47'));
  EXPECT_EQ(datos_.BufferMemoria, nullptr);
}

TEST_F(LiveReadTest, AWaitingReadEndsWithinASliceOfAClose) {
  std::thread closer([this] {
    std::this_thread::sleep_for(100ms);
    datos_.Cancelar = true;
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Cliente::LeerSockDemux(&datos_, reinterpret_cast<uint8_t*>(datos_.BufferResto), 188),
            AVERROR_EXIT);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 600ms);
  closer.join();
}

// Blocks of 376 bytes into a ring of 1000: the writer wraps after its third
// block, at 1128, and the reader wraps at the same place. A reader that the
// writer laps goes on from the oldest bytes the next blocks leave alone.
TEST(TimeShiftRingTest, WriterAndReaderWrapWhereTheWriterReachedTheLimit) {
  InProcessHost host;
  host.UseStorage();
  const int bufsize = BUFSIZE;
  BUFSIZE = 188;
  StructDatosSock datos;
  datos.FicheroEscritura = TheHost().OpenFileForWrite(PathFicheroTimeShiftDisco, true);
  datos.MaxBytesFichero = 1000;
  const auto blocks = [](const std::string& letters) {
    std::string text;
    for (char c : letters) text += std::string(376, c);
    return text;
  };
  const auto write = [&](const std::string& letters) {
    for (char c : letters) {
      ASSERT_TRUE(Cliente::EscribirBloque(datos, Bytes(376, c).data(), 376));
    }
  };
  const auto replay = [&] {
    std::string replayed;
    char buffer[500];
    for (int read; (read = Cliente::LeerFichero(datos, reinterpret_cast<uint8_t*>(buffer),
                                                sizeof(buffer))) > 0;) {
      replayed.append(buffer, static_cast<size_t>(read));
    }
    return replayed;
  };
  std::string replayed;
  for (const char* block : {"a", "b", "c", "d", "e"}) {
    write(block);
    replayed += replay();
  }
  EXPECT_EQ(replayed, blocks("abcde"));
  EXPECT_EQ(datos.MaxBytesFichero, 1128);
  EXPECT_EQ(datos.PosicionEscritura, 752);
  EXPECT_EQ(host.user().Read("grabaciones/timeshift.ts"), blocks("dec"));

  write("fgh");
  EXPECT_EQ(replay(), blocks("gh"));
  EXPECT_TRUE(host.Logged("TimeShift: el fichero se ha desbordado"));

  // The next pause records into a new file: the reader's handle of the last
  // one is not read again.
  TheHost().CloseFile(datos.FicheroEscritura);
  TheHost().DeleteFile(PathFicheroTimeShiftDisco);
  Cliente::EmpezarSesion(datos, TheHost().OpenFileForWrite(PathFicheroTimeShiftDisco, true));
  write("i");
  EXPECT_EQ(replay(), blocks("i"));
  BUFSIZE = bufsize;
  TheHost().CloseFile(datos.FicheroEscritura);
  TheHost().CloseFile(datos.FicheroLectura);
}

// A jump in the stream (the reader lapped by the recorder): the packet
// gathered across it is dropped, every other one comes whole.
TEST(DemuxerTest, APacketBegunBeforeAJumpIsDropped) {
  std::ifstream file(QUORVINA_BINARY_DIR "/tools/headend/clips/sd.ts", std::ios::binary);
  const std::string clip((std::istreambuf_iterator<char>(file)), {});
  ASSERT_GT(clip.size(), 1000000u);
  // (stream, pts) -> size; `jumpBy` bytes skipped half way.
  const auto demux = [&clip](size_t jumpBy) {
    std::map<std::pair<int, double>, int> packets;
    Demuxer demuxer;
    size_t at = 0;
    const size_t jumpAt = clip.size() / 2 / 1316 * 1316;
    demuxer.AbrirStream(
        [&](uint8_t* buffer, int) {
          if (jumpBy != 0 && at == jumpAt) at += jumpBy, demuxer.MarcarSalto();
          const size_t count = std::min<size_t>(1316, clip.size() - std::min(at, clip.size()));
          if (count == 0) return AVERROR_EOF;
          memcpy(buffer, clip.data() + at, count);
          at += count;
          return static_cast<int>(count);
        },
        188 * 100, nullptr);
    for (int i = 0, result = 0; i < 100000 && result != AVERROR_EOF; ++i) {
      DemuxedPacket packet;
      if ((result = demuxer.Leer(packet)) == 0)
        packets[{packet.streamIndex, packet.pts.value_or(-1)}] = packet.size();
    }
    return packets;
  };
  const auto whole = demux(0);
  const auto cut = demux(188 * 1001);
  ASSERT_GT(cut.size(), whole.size() / 2);
  for (const auto& [key, size] : cut) EXPECT_EQ(whole.count(key) ? whole.at(key) : -1, size);
}

}  // namespace
