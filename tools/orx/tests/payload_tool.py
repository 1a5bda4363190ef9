"""A second, independent reading of the payload formats for the orx tests:
payloads are built and opened here with hashlib, hmac and the `openssl enc`
command, never with the code under test."""
import hashlib
import hmac
import struct
import subprocess

IV_HEX = b"4709215847092158".hex()
SIGNATURE = 0xF8EBD601


def cfb(key: bytes, data: bytes, decrypt=False, iv_hex=IV_HEX) -> bytes:
    args = ["openssl", "enc", f"-aes-{len(key) * 8}-cfb", "-K", key.hex(), "-iv", iv_hex,
            "-nopad"]
    if decrypt:
        args.append("-d")
    return subprocess.run(args, input=data, capture_output=True, check=True).stdout


def password_bytes(text: str) -> bytes:
    units = text.encode("utf-16-le")
    return bytes(units[i] for i in range(0, len(units), 2))


def password_key(text: str, key_bytes: int) -> bytes:
    seed = hashlib.md5(password_bytes(text)).digest() + b"\x01" * (key_bytes - 16)
    return cfb(seed, seed)


def header(name_bytes: bytes, password: str, key_bytes=32, file_key=None,
           signature=SIGNATURE, key_field=None, second=None):
    file_key = file_key or bytes(range(0x60, 0x60 + key_bytes))
    wrapped = cfb(password_key(password, key_bytes), file_key)
    return b"".join([
        struct.pack("<II", signature, len(name_bytes)), name_bytes,
        struct.pack("<I", key_field if key_field is not None else key_bytes),
        hashlib.sha1(file_key).digest(), wrapped, second or b"\xAB" * key_bytes])


def build(name_bytes: bytes, password: str, content: bytes, key_bytes=32,
          file_key=None, tail=b"\0\0\0\0", **fields):
    file_key = file_key or bytes(range(0x60, 0x60 + key_bytes))
    return b"".join([header(name_bytes, password, key_bytes, file_key, **fields),
                     cfb(file_key, content), hashlib.sha1(content).digest(), tail])


def write_sparse(path, name: str, password: str, cipher_bytes: int):
    """A payload whose cipher text is a hole of `cipher_bytes` zero bytes
    (it takes no disk space); the password is right, the digest is not."""
    with open(path, "wb") as f:
        f.write(header(name.encode("utf-16-le"), password))
        f.seek(cipher_bytes, 1)
        f.write(b"\x11" * 20 + b"\0" * 4)


def parse(data: bytes):
    sig, name_len = struct.unpack_from("<II", data, 0)
    name = data[8:8 + name_len]
    (key_bytes,) = struct.unpack_from("<I", data, 8 + name_len)
    at = 12 + name_len
    fields = {"signature": sig, "name": name.decode("utf-16-le"), "key_bytes": key_bytes,
              "key_check": data[at:at + 20],
              "wrapped": data[at + 20:at + 20 + key_bytes],
              "second": data[at + 20 + key_bytes:at + 20 + 2 * key_bytes]}
    header = at + 20 + 2 * key_bytes
    fields["cipher"] = data[header:len(data) - 24]
    fields["digest"] = data[len(data) - 24:len(data) - 4]
    fields["tail"] = data[len(data) - 4:]
    return fields


def open_payload(data: bytes, password: str) -> bytes:
    f = parse(data)
    file_key = cfb(password_key(password, f["key_bytes"]), f["wrapped"], decrypt=True)
    assert hashlib.sha1(file_key).digest() == f["key_check"], "wrong password"
    plain = cfb(file_key, f["cipher"], decrypt=True)
    assert hashlib.sha1(plain).digest() == f["digest"], "digest mismatch"
    return plain


# Format 2: salted PBKDF2-HMAC-SHA256 over the password's UTF-8, the file key
# wrapped under it, keys for the content and its MAC from HKDF-Expand, and
# an HMAC-SHA256 tag over header and cipher text.
SIGNATURE_2 = b"ORXP"
MIN_COST = 100000


def expand(file_key: bytes, info: str) -> bytes:
    """HKDF-Expand (RFC 5869) of one 32-byte block, the file key as PRK."""
    return hmac.new(file_key, info.encode() + b"\x01", "sha256").digest()


def build2(name_bytes: bytes, password: str, content: bytes, cost=MIN_COST,
           salt=bytes(range(16)), key_iv=bytes(range(16, 32)),
           content_iv=bytes(range(32, 48)), file_key=bytes(range(0x80, 0xA0)),
           version=2, kdf=1, name_field=None):
    kek = hashlib.pbkdf2_hmac("sha256", password.encode("utf-8", "surrogatepass"), salt, cost,
                              32)
    header = b"".join([
        SIGNATURE_2, struct.pack("<III", version, kdf, cost), salt,
        struct.pack("<I", len(name_bytes) if name_field is None else name_field), name_bytes,
        key_iv, cfb(kek, file_key, iv_hex=key_iv.hex()), expand(file_key, "orx2 key check"),
        content_iv])
    cipher = cfb(expand(file_key, "orx2 content key"), content, iv_hex=content_iv.hex())
    tag = hmac.new(expand(file_key, "orx2 content mac"), header + cipher, "sha256").digest()
    return header + cipher + tag


def parse2(data: bytes):
    assert data[:4] == SIGNATURE_2, "not format 2"
    version, kdf, cost = struct.unpack_from("<III", data, 4)
    (name_len,) = struct.unpack_from("<I", data, 32)
    at = 36 + name_len
    return {"version": version, "kdf": kdf, "cost": cost, "salt": data[16:32],
            "name": data[36:at].decode("utf-16-le"), "key_iv": data[at:at + 16],
            "wrapped": data[at + 16:at + 48], "key_check": data[at + 48:at + 80],
            "content_iv": data[at + 80:at + 96], "header": data[:at + 96],
            "cipher": data[at + 96:len(data) - 32], "tag": data[len(data) - 32:]}


def open_payload2(data: bytes, password: str) -> bytes:
    f = parse2(data)
    kek = hashlib.pbkdf2_hmac("sha256", password.encode("utf-8"), f["salt"], f["cost"], 32)
    file_key = cfb(kek, f["wrapped"], decrypt=True, iv_hex=f["key_iv"].hex())
    assert hmac.compare_digest(expand(file_key, "orx2 key check"), f["key_check"]), \
        "wrong password"
    tag = hmac.new(expand(file_key, "orx2 content mac"), f["header"] + f["cipher"],
                   "sha256").digest()
    assert hmac.compare_digest(tag, f["tag"]), "tag mismatch"
    return cfb(expand(file_key, "orx2 content key"), f["cipher"], decrypt=True,
               iv_hex=f["content_iv"].hex())
