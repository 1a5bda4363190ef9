"""Writes the seed corpus of the payload fuzzer: well-formed payloads of both
formats for the password "fuzz" (made with hashlib, hmac and `openssl enc`,
through the orx test helper) around the chunk boundaries, and a few damaged
ones. Format 2 at the lowest cost readers take, so that the fuzzer reaches
its tag check without waiting long."""
import os
import sys

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "..", "..", "..", "tools", "orx", "tests"))
import payload_tool  # noqa: E402

corpus = os.path.join(here, "corpus")
os.makedirs(corpus, exist_ok=True)
name = "seed.txt".encode("utf-16-le")
seeds = {}
for key_bytes in (16, 24, 32):
    for size in (0, 1, 1023, 1024, 1025):
        seeds[f"valid-{key_bytes * 8}-{size}"] = payload_tool.build(
            name, "fuzz", bytes((i * 7) & 0xFF for i in range(size)), key_bytes=key_bytes)
# Across the streamed decryption's 16 KiB chunk.
seeds["valid-256-16400"] = payload_tool.build(
    name, "fuzz", bytes((i * 7) & 0xFF for i in range(16400)), key_bytes=32)
good = seeds["valid-128-1"]
seeds["odd-name"] = payload_tool.build(name + b"!", "fuzz", b"odd", key_bytes=16)
seeds["bad-signature"] = b"\x11" + good[1:]
seeds["key-bytes-20"] = payload_tool.build(name, "fuzz", b"x", key_bytes=16, key_field=20)
seeds["too-short"] = good[:len(good) - 1 - 24 + 1]
seeds["truncated-header"] = good[:30]
seeds["device-name"] = payload_tool.build("NUL.txt".encode("utf-16-le"), "fuzz", b"x",
                                          key_bytes=16)
seeds["wrong-password"] = payload_tool.build(name, "other", b"x" * 40, key_bytes=16)
# Format 2.
for size in (0, 1, 16400):
    seeds[f"v2-valid-{size}"] = payload_tool.build2(
        name, "fuzz", bytes((i * 7) & 0xFF for i in range(size)))
good2 = seeds["v2-valid-1"]
seeds["v2-cost-4000000000"] = good2[:12] + (4000000000).to_bytes(4, "little") + good2[16:]
seeds["v2-odd-name"] = payload_tool.build2(name + b"!", "fuzz", b"odd")
seeds["v2-tag-flipped"] = good2[:-1] + bytes([good2[-1] ^ 1])
seeds["v2-wrong-password"] = payload_tool.build2(name, "other", b"x" * 40)
seeds["v2-truncated-header"] = good2[:100]
for label, data in seeds.items():
    with open(os.path.join(corpus, label), "wb") as f:
        f.write(data)
print(f"{len(seeds)} seeds in {corpus}")
