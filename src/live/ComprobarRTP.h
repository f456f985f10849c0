// The RTP check every receiver of multicast TV makes on a datagram.
#pragma once

// True when the datagram of `*len` bytes is RTP (version 2, payload type 33)
// carrying whole 188-byte transport packets: `offset` then points past the
// header (CSRCs and extension included) and `*len` holds the payload length.
// On false nothing changes and the datagram is raw transport stream.
bool ComprobarRTP(const char* data, int* len, int& offset);
