// SPDX-License-Identifier: MIT
// Uses the generated declarations the way an application does: attach,
// read the version, a parameter, an error text, an offline address check.
using System;
using System.Text;
using Vok32;

static class Smoke
{
    static int Main()
    {
        int failures = 0;
        Action<bool, string> check = (ok, what) => {
            if (!ok) { Console.Error.WriteLine("failed: " + what); failures++; }
        };
        check(Vok.vokAttach(2) == 1, "vokAttach");
        check(Vok.vokStatistics(1, Vok.VOK_STAT_VERSION) == Vok.VOK_VERSION, "version");
        check(Vok.vokIntegerParam(1, Vok.VOK_PARAM_SMTP_PORT, 2525) == 1, "SmtpPort");
        check(Vok.vokIntegerParam(1, Vok.VOK_SMTP_PORT, 2525) == 1, "old name");
        var text = new StringBuilder(256);
        int n = Vok.vokErrorText(0, Vok.VOK_NOT_ATTACHED, text, text.Capacity);
        check(n > 0 && text.ToString() == "Must call vokAttach first.", "vokErrorText: " + text);
        check(Vok.vokVerifyFormat("Ann <ann@example.com>") == 1, "vokVerifyFormat");
        check(Vok.vokVerifyFormat("ann@example.com") == Vok.VOK_MISSING_LT, "bare address");
        check(Vok.vokRelease() == 1, "vokRelease");
        Console.WriteLine(failures == 0 ? "C# binding: ok" : "C# binding: failed");
        return failures == 0 ? 0 : 1;
    }
}
