# Starts chromatte.exe from a build's release ZIP, unzipped as a user would,
# on the game accounts of scripts/demo.reg, saves a screenshot of the screen
# to <build>/window.png, and closes the program through "Quitter". Fails when
# no window comes within 30 s, when the window is one flat colour on the
# screenshot, or when the program still runs 30 s after "Quitter".
# demo.reg goes into the user's own registry: for a throwaway machine (CI).
#   scripts/check-window.ps1 <build folder>
param([Parameter(Mandatory)][string]$Build)
$ErrorActionPreference = 'Stop'
Add-Type -AssemblyName System.Drawing, System.Windows.Forms
Add-Type @'
using System;
using System.Runtime.InteropServices;
public static class Window {
  [StructLayout(LayoutKind.Sequential)] public struct Rect { public int Left, Top, Right, Bottom; }
  [DllImport("user32.dll", CharSet = CharSet.Unicode)]
  public static extern IntPtr FindWindowEx(IntPtr parent, IntPtr after, string className, string text);
  [DllImport("user32.dll")] public static extern bool GetWindowRect(IntPtr window, out Rect rect);
  [DllImport("user32.dll")] public static extern int GetDlgCtrlID(IntPtr control);
  [DllImport("user32.dll")] public static extern bool PostMessage(IntPtr window, uint message, IntPtr wParam, IntPtr lParam);
}
'@

$zip = @(Get-ChildItem "$Build/chromatte-*.zip" | Where-Object Name -notlike 'chromatte-tests-*')
if ($zip.Count -ne 1) { throw "Not one release ZIP in ${Build}: $zip" }
$folder = Join-Path ([IO.Path]::GetTempPath()) "chromatte-window-$([guid]::NewGuid())"
Expand-Archive -Path $zip[0].FullName -DestinationPath $folder
$exe = Get-ChildItem -Path $folder -Recurse -Filter chromatte.exe | Select-Object -First 1
if (-not $exe) { throw "No chromatte.exe in $($zip[0].Name)" }
reg import scripts/demo.reg
if ($LASTEXITCODE -ne 0) { throw "reg import scripts/demo.reg: exit status $LASTEXITCODE" }

$process = Start-Process -FilePath $exe.FullName -WorkingDirectory $exe.DirectoryName -PassThru
# Whatever fails, the program does not outlive this script.
try {
  $deadline = (Get-Date).AddSeconds(30)
  do {
    Start-Sleep -Milliseconds 500
    $process.Refresh()
    $window = $process.MainWindowHandle
  } while ($window -eq [IntPtr]::Zero -and -not $process.HasExited -and (Get-Date) -lt $deadline)
  if ($window -eq [IntPtr]::Zero) { throw "No window from $($exe.FullName) within 30 s" }
  Start-Sleep -Seconds 2  # painted

  $screen = [Windows.Forms.Screen]::PrimaryScreen.Bounds
  $shot = New-Object Drawing.Bitmap $screen.Width, $screen.Height
  [Drawing.Graphics]::FromImage($shot).CopyFromScreen($screen.Location, [Drawing.Point]::Empty, $screen.Size)
  $shot.Save((Join-Path $Build window.png), [Drawing.Imaging.ImageFormat]::Png)
  $rect = New-Object Window+Rect
  [void][Window]::GetWindowRect($window, [ref]$rect)
  $left = [Math]::Max($rect.Left - $screen.Left, 0); $right = [Math]::Min($rect.Right - $screen.Left, $screen.Width)
  $top = [Math]::Max($rect.Top - $screen.Top, 0); $bottom = [Math]::Min($rect.Bottom - $screen.Top, $screen.Height)
  $colours = @{}
  for ($y = $top; $y -lt $bottom -and $colours.Count -lt 2; $y += 2) {
    for ($x = $left; $x -lt $right -and $colours.Count -lt 2; $x += 2) { $colours[$shot.GetPixel($x, $y).ToArgb()] = 1 }
  }
  if ($colours.Count -lt 2) {
    throw "The window ($($rect.Left),$($rect.Top))-($($rect.Right),$($rect.Bottom)) is one flat colour on the screenshot"
  }

  $quit = [Window]::FindWindowEx($window, [IntPtr]::Zero, 'Button', 'Quitter')
  if ($quit -eq [IntPtr]::Zero) { throw 'No "Quitter" button in the window' }
  $WM_COMMAND = 0x0111  # a click's notice to the dialog: BN_CLICKED (0) and the button's ID
  [void][Window]::PostMessage($window, $WM_COMMAND, [IntPtr][Window]::GetDlgCtrlID($quit), $quit)
  if (-not $process.WaitForExit(30000)) { throw "$($exe.Name) still runs 30 s after ""Quitter""" }
  Write-Output "The window showed (window.png) and closed through ""Quitter""."
} finally {
  if (-not $process.HasExited) { Stop-Process -Id $process.Id -Force }
}
