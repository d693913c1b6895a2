"""The setup package that the demo serves, and the kit folder that Fennick runs from."""
import hashlib
import os
import shutil

KIT_PROGRAMS = ["Fennick.exe", "QXFtp.dll", "QXHttp.dll", "QXMlangW.dll", "QXChkErr.exe"]
KIT_DATA = ["QXMLANG.INI", "FENNICKMSG.MLG"]
KIT_FILES = KIT_PROGRAMS + KIT_DATA


def make_package(sample_exe, out_path, size_bytes):
    """The sample program padded with random bytes to size_bytes: data after a PE image's
    sections is never loaded, so the program still runs, and a larger file makes the
    progress visible."""
    with open(sample_exe, "rb") as source:
        program = source.read()
    size_bytes = max(int(size_bytes), len(program))
    tmp = out_path + ".part"
    with open(tmp, "wb") as out:
        out.write(program)
        left = size_bytes - len(program)
        while left > 0:
            chunk = min(left, 1 << 20)
            out.write(os.urandom(chunk))
            left -= chunk
    os.replace(tmp, out_path)
    os.chmod(out_path, 0o644)
    return out_path


def sha256_of(path):
    digest = hashlib.sha256()
    with open(path, "rb") as data:
        for block in iter(lambda: data.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def missing_kit_files(kit_dir):
    return [name for name in KIT_FILES if not os.path.isfile(os.path.join(kit_dir, name))]


def write_fennick_ini(folder, url, pin=None):
    # CRLF, as a vendor's editor on Windows writes it.
    with open(os.path.join(folder, "Fennick.ini"), "w", newline="\r\n") as ini:
        ini.write("[Main]\nDownloadString=%s\n" % url)
        if pin:
            ini.write("Sha256=%s\n" % pin)


def fresh_install_folder(kit_dir, folder, url, pin=None):
    """A new folder holding the kit's files that exist and a Fennick.ini for url (and pin)."""
    if os.path.isdir(folder):
        shutil.rmtree(folder)
    os.makedirs(folder)
    for name in KIT_FILES:
        source = os.path.join(kit_dir, name)
        if os.path.isfile(source):
            shutil.copy2(source, folder)
    write_fennick_ini(folder, url, pin)
    return folder
