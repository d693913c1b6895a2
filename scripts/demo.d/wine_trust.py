"""Makes a test CA trusted inside one Wine prefix only (never by the host): the certificate goes into
the prefix's machine Root store in the registry, as a serialized certificate property blob."""
import hashlib
import os
import subprocess
import tempfile

CERT_CERT_PROP_ID = 32


def root_store_reg(der):
    thumbprint = hashlib.sha1(der).hexdigest().upper()
    blob = (CERT_CERT_PROP_ID.to_bytes(4, "little") + (1).to_bytes(4, "little") +
            len(der).to_bytes(4, "little") + der)
    hex_lines = []
    text = ",".join("%02x" % b for b in blob)
    # regedit accepts continued lines; keep them short.
    while len(text) > 75:
        cut = text.rfind(",", 0, 75) + 1
        hex_lines.append(text[:cut])
        text = text[cut:]
    hex_lines.append(text)
    return ("Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\%s]\r\n"
            "\"Blob\"=hex:%s\r\n" % (thumbprint, "\\\r\n  ".join(hex_lines)))


def trust_in_prefix(session, der, log_path):
    """Imports the CA into the prefix with regedit; the wineserver of the session must be running."""
    text = root_store_reg(der)
    handle, reg_path = tempfile.mkstemp(suffix=".reg", prefix="fennick-ca-")
    try:
        with os.fdopen(handle, "wb") as reg:
            reg.write(b"\xff\xfe" + text.encode("utf-16-le"))  # regedit wants UTF-16LE with a BOM
        process = session.launch(["regedit", "/S", session.windows_path(reg_path)], cwd="/", log_path=log_path)
        if process.wait(timeout=120) != 0:
            raise RuntimeError("regedit could not import the test CA; see " + log_path)
    finally:
        os.remove(reg_path)
