"""A second, independent reading of the payload format for the orx tests:
payloads are built and opened here with hashlib and the `openssl enc`
command, never with the code under test."""
import hashlib
import struct
import subprocess

IV_HEX = b"4709215847092158".hex()
SIGNATURE = 0xF8EBD601


def cfb(key: bytes, data: bytes, decrypt=False) -> bytes:
    args = ["openssl", "enc", f"-aes-{len(key) * 8}-cfb", "-K", key.hex(), "-iv", IV_HEX,
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
