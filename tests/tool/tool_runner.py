"""Runs the built mirevane tool, natively or through Wine, for the end-to-end tests."""
import os
import subprocess


class Tool:
    def __init__(self, executable, emulator=None, wineprefix=None):
        self.executable = os.path.abspath(executable)
        self.emulator = emulator
        self.env = dict(os.environ)
        if emulator:
            self.env.setdefault("WINEDEBUG", "-all")
            if wineprefix and "WINEPREFIX" not in self.env:
                self.env["WINEPREFIX"] = os.path.abspath(wineprefix)

    @property
    def windows(self):
        return bool(self.emulator)

    def command(self, args):
        return ([self.emulator] if self.emulator else []) + [self.executable] + list(args)

    def run(self, args, cwd, timeout=300, stdin=None):
        """Runs the tool in cwd; paths in args should be relative to cwd, so that the same
        arguments mean the same files to a native and to a Windows build under Wine. stdin:
        bytes for its standard input (none: an empty one)."""
        result = subprocess.run(self.command(args), cwd=cwd, env=self.env, capture_output=True,
                                timeout=timeout, input=stdin if stdin is not None else b"")
        result.stdout_text = self.as_native(result.stdout.decode("utf-8", "replace"))
        result.stderr_text = self.as_native(result.stderr.decode("utf-8", "replace"))
        return result

    def as_native(self, text):
        """The tool's output with CR LF as LF and, from the Windows build, a path in the
        current folder written ./ as the native build writes it: the Windows tool writes
        .\\Cab.ini (in JSON .\\\\Cab.ini), as Windows users read paths. The raw bytes stay
        in stdout and stderr for the tests of that spelling."""
        text = text.replace("\r\n", "\n")
        if self.emulator:
            text = text.replace(".\\\\", "./").replace(".\\", "./")
        return text

    def keep_wine_running(self):
        """Starts Wine's server and its system processes (services, explorer) once, for
        every later run to share. Started by a captured run instead, they would inherit its
        output pipe, and reading the output would wait seconds for them to exit; started
        here, they hold none of our pipes."""
        if self.emulator:
            server = os.path.join(os.path.dirname(self.emulator), "wineserver")
            quiet = {"stdin": subprocess.DEVNULL, "stdout": subprocess.DEVNULL,
                     "stderr": subprocess.DEVNULL, "env": self.env, "check": False}
            if os.path.exists(server):
                subprocess.run([server, "-p120"], **quiet)
            subprocess.run([self.emulator, "cmd", "/c", "exit"], **quiet)
