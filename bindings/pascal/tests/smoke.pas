{ SPDX-License-Identifier: MIT }
{ Uses the generated unit the way an application does: attach, read the
  version, a parameter, an error text, an offline address check. }
program smoke;

{$IFDEF FPC}{$MODE DELPHI}{$ENDIF}

uses vok32;

var
  failures: Integer = 0;
  text: array[0..255] of AnsiChar;

procedure Check(ok: Boolean; const what: string);
begin
  if not ok then
  begin
    WriteLn(StdErr, 'failed: ', what);
    Inc(failures);
  end;
end;

begin
  Check(vokAttach(2) = 1, 'vokAttach');
  Check(vokStatistics(1, VOK_STAT_VERSION) = VOK_VERSION, 'version');
  Check(vokIntegerParam(1, VOK_PARAM_POP3_PORT, 1100) = 1, 'Pop3Port');
  Check(vokErrorText(0, VOK_NOT_ATTACHED, @text[0], SizeOf(text)) > 0, 'vokErrorText');
  Check(AnsiString(PAnsiChar(@text[0])) = 'Must call vokAttach first.', 'error text');
  Check(vokVerifyFormat('Ann <ann@example.com>') = 1, 'vokVerifyFormat');
  Check(vokVerifyFormat('ann@example.com') = VOK_MISSING_LT, 'bare address');
  Check(vokRelease = 1, 'vokRelease');
  if failures = 0 then WriteLn('Pascal binding: ok') else WriteLn('Pascal binding: failed');
  Halt(Ord(failures <> 0));
end.
