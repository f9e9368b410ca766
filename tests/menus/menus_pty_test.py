#!/usr/bin/env python3
"""Drives the real volk through a pseudo-terminal, as a user at a terminal
would: the main menu, its keys, disabled menus, Ctrl-C and a narrow terminal.
Each case runs a private copy of the installation (its own property files,
state file and SNIA configuration file).

usage: menus_pty_test.py <build dir> [unittest arguments]
"""
import fcntl
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import termios
import unittest

import pexpect
import pexpect.fdpexpect

BUILD = None
MAIN = "    Main Menu"
PROMPT = "Please Enter Selection: "
CONF = "# SNIA libraries of this host\ncom.other.hba\t/usr/lib/other.so\n"


class Install:
    """A copy of the staged installation in a directory of the test's own."""

    def __init__(self, menu_properties=None):
        self.dir = tempfile.mkdtemp(prefix="volk-menus-")
        self.bin = os.path.join(self.dir, "bin")
        lib = os.path.join(self.dir, "lib")
        os.makedirs(self.bin)
        os.makedirs(lib)
        for f in ("volk", "brask.properties", "menu.properties", "adapters.properties",
                  "agent.properties", "flashcfg.properties", "fcvolk-exitcodes.txt"):
            shutil.copy2(os.path.join(BUILD, "bin", f), os.path.join(self.bin, f))
        for f in ("libtavro.so", "libvnhbaapi.so", "agent.properties"):
            shutil.copy2(os.path.join(BUILD, "lib", f), os.path.join(lib, f))
        os.symlink(os.path.realpath(os.path.join(BUILD, "lib", "libvnsdm.so")),
                   os.path.join(lib, "libvnsdm.so.9"))
        os.symlink(os.path.realpath(os.path.join(BUILD, "lib", "libvnwmi.so")),
                   os.path.join(lib, "libvnwmi.so"))
        if menu_properties is not None:
            with open(os.path.join(self.bin, "menu.properties"), "w") as f:
                f.write(menu_properties)
        self.conf = os.path.join(self.dir, "hba.conf")
        with open(self.conf, "w") as f:
            f.write(CONF)
        self.env = dict(os.environ)
        self.env.update({"VNSDM_STATE": os.path.join(self.dir, "state.db"), "VNSDM_MACHINE": "",
                         "TAVRO_CLOCK_SCALE": "1000", "TAVRO_HBA_CONF": self.conf,
                         "TERM": "dumb"})

    def remove(self):
        shutil.rmtree(self.dir, ignore_errors=True)


class Session:
    """volk on a pseudo-terminal whose slave side the test keeps open, so that
    its settings can be read after volk is gone."""

    def __init__(self, install, args=(), columns=80):
        self.master, self.slave = os.openpty()
        fcntl.ioctl(self.slave, termios.TIOCSWINSZ, struct.pack("HHHH", 24, columns, 0, 0))
        self.tty = os.ttyname(self.slave)
        self.stty_before = self.stty()

        def controlling_terminal():
            os.setsid()
            fcntl.ioctl(0, termios.TIOCSCTTY, 0)

        self.proc = subprocess.Popen([os.path.join(install.bin, "volk"), *args],
                                     stdin=self.slave, stdout=self.slave, stderr=self.slave,
                                     env=install.env, preexec_fn=controlling_terminal,
                                     close_fds=True)
        self.child = pexpect.fdpexpect.fdspawn(self.master, timeout=30, encoding="latin-1")

    def stty(self):
        return subprocess.run(["stty", "-g"], stdin=self.slave, capture_output=True,
                              text=True, check=True).stdout

    def expect(self, text):
        self.child.expect_exact(text)
        return self.child.before

    def send(self, line):
        os.write(self.master, (line + "\n").encode())

    def wait(self):
        try:
            return self.proc.wait(timeout=60)
        finally:
            self.drain()

    def drain(self):
        # Whatever volk wrote last, so that it never blocks on a full terminal.
        try:
            while True:
                self.child.read_nonblocking(4096, timeout=0.2)
        except (pexpect.TIMEOUT, pexpect.EOF, OSError):
            pass

    def close(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        for fd in (self.master, self.slave):
            try:
                os.close(fd)
            except OSError:
                pass


class Base(unittest.TestCase):
    menu_properties = None

    def setUp(self):
        self.install = Install(self.menu_properties)
        self.addCleanup(self.install.remove)

    def start(self, *args, columns=80):
        s = Session(self.install, args, columns)
        self.addCleanup(s.close)
        return s

    def main_menu(self, s):
        """The main menu's screen (up to its prompt) as a dict: entry text -> number."""
        screen = s.expect(PROMPT)
        self.assertIn(MAIN, screen)
        entries = {}
        for line in screen.splitlines():
            head, sep, text = line.partition(":\t")
            if sep and head.strip().isdigit():
                entries[text.strip()] = int(head)
        return screen, entries


class MenusOnATerminal(Base):
    def test_bare_volk_draws_main_menu_and_x_quits(self):
        s = self.start()
        screen, entries = self.main_menu(s)
        self.assertIn("\tVersion 2.3.0 (Build 12)", screen)
        self.assertIn("        WWPN: 00-00-00-00-00-00-00-00", screen)
        self.assertIn("(p or 0: Previous Menu; m or 98: Main Menu; x or 99: Quit)", screen)
        self.assertEqual(entries.get("Adapter Information"), 1)
        self.assertIn("Utilities", entries)
        s.send("x")
        self.assertEqual(s.wait(), 0)
        self.assertEqual(s.stty(), s.stty_before)

    def test_int_word_opens_menus_and_99_quits(self):
        s = self.start("int")
        self.main_menu(s)
        s.send("99")
        self.assertEqual(s.wait(), 0)

    def test_navigation_keys(self):
        s = self.start()
        _, entries = self.main_menu(s)
        info = str(entries["Adapter Information"])
        # "exit" is too long, 97 names no entry: refused, the menu again.
        for answer in ("exit", "97", "1000", ""):
            s.send(answer)
            s.expect("Invalid selection!")
            self.main_menu(s)
        s.send(info)
        s.expect("    Adapter Information Menu")
        s.expect(PROMPT)
        s.send("m")  # main menu
        self.main_menu(s)
        s.send(info)
        s.expect("    Adapter Information Menu")
        s.expect(PROMPT)
        s.send("p")  # previous menu: the main menu again
        self.main_menu(s)
        s.send(info)
        s.expect("    Adapter Information Menu")
        s.expect(PROMPT)
        s.send("M")
        self.main_menu(s)
        s.send("ex")
        self.assertEqual(s.wait(), 0)

    def test_leaf_runs_the_command_line(self):
        s = self.start()
        _, entries = self.main_menu(s)
        s.send(str(entries["Adapter Information"]))
        screen = s.expect(PROMPT)
        self.assertIn("Host Information", screen)
        s.send("1")  # Host Information: volk -g
        out = s.expect("Press <Enter> to continue: ")
        expected = subprocess.run([os.path.join(self.install.bin, "volk"), "-g"],
                                  env=self.install.env, capture_output=True, text=True)
        self.assertEqual(expected.returncode, 0)
        self.assertIn("Total Vantor HBA(s) :", expected.stdout)
        for line in expected.stdout.splitlines():
            if line.strip() and not line.startswith("Log File"):
                self.assertIn(line.rstrip(), out.replace("\r\n", "\n"))
        s.send("")
        s.expect("    Adapter Information Menu")
        s.expect(PROMPT)
        s.send("x")
        self.assertEqual(s.wait(), 0)

    def test_port_chooser_and_out_of_range_number(self):
        s = self.start()
        _, entries = self.main_menu(s)
        s.send(str(entries["Adapter Information"]))
        s.expect(PROMPT)
        s.send("2")  # HBA Information: choose a port
        screen = s.expect(PROMPT)
        self.assertIn("All HBA Ports", screen)
        self.assertIn("HBA  0  Port 1  WWPN 21-00-00-0E-7A-32-20-01  CV-2322", screen)
        s.send("100")
        s.expect("Invalid selection!")
        s.expect(PROMPT)
        number = next(line.split(":")[0].strip() for line in screen.splitlines()
                      if "HBA  0  Port 1" in line)
        s.send(number)
        out = s.expect("Press <Enter> to continue: ")
        self.assertIn("HBA Instance                   : 0", out)
        s.send("")
        s.expect(PROMPT)
        s.send("99")
        self.assertEqual(s.wait(), 0)

    def test_ctrl_c_leaves_terminal_and_snia_file(self):
        for where in ("main", "submenu", "pause"):
            with self.subTest(where=where):
                s = self.start()
                _, entries = self.main_menu(s)
                # Nothing used the SNIA HBA API yet, so nothing was listed; the
                # restore of a listed line on Ctrl-C is the safety tests' part.
                if where != "main":
                    s.send(str(entries["Adapter Information"]))
                    s.expect(PROMPT)
                if where == "pause":
                    s.send("6")  # exit codes, then the pause
                    s.expect("Press <Enter> to continue: ")
                os.write(s.master, b"\x03")
                rc = s.wait()
                self.assertNotEqual(rc, 0)
                self.assertEqual(s.stty(), s.stty_before)
                with open(self.install.conf) as f:
                    self.assertEqual(f.read(), CONF)

    def test_narrow_terminal(self):
        s = self.start(columns=40)
        screen, entries = self.main_menu(s)
        # Plain lines only: no cursor movement or screen clearing.
        self.assertNotIn("\x1b", screen)
        s.send(str(entries["Utilities"]))
        screen = s.expect(PROMPT)
        self.assertIn("    Utilities Menu", screen)
        s.send("2")
        out = s.expect("Press <Enter> to continue: ")
        self.assertIn("Version", out)
        s.send("")
        s.expect(PROMPT)
        s.send("x")
        self.assertEqual(s.wait(), 0)

    def test_piped_script_ends_cleanly(self):
        volk = os.path.join(self.install.bin, "volk")
        for script in ("", "1\n", "1\n2\n1\n\n", "exit\n97\n"):
            with self.subTest(script=script):
                r = subprocess.run([volk], input=script, env=self.install.env,
                                   capture_output=True, text=True, timeout=60)
                self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
                self.assertIn(MAIN, r.stdout)


class DisabledMenus(Base):
    menu_properties = "; the utilities are hidden\nmenu.utilities.enable=0\n"

    def test_disabled_menu_is_not_offered_nor_reachable(self):
        s = self.start()
        screen, entries = self.main_menu(s)
        self.assertNotIn("Utilities", screen)
        self.assertIn("Adapter Information", entries)
        # The number the hidden entry would have had names nothing.
        s.send(str(len(entries) + 1))
        s.expect("Invalid selection!")
        self.main_menu(s)
        s.send("x")
        self.assertEqual(s.wait(), 0)


def main():
    global BUILD
    BUILD = os.path.abspath(sys.argv[1])
    signal.signal(signal.SIGPIPE, signal.SIG_DFL)
    unittest.main(argv=[sys.argv[0]] + sys.argv[2:])


if __name__ == "__main__":
    main()
