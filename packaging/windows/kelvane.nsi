; The Windows setup: kelvane-VERSION-setup.exe, made by scripts/make-setup.sh
; from the release folder (the zip's contents). makensis is given
;   VERSION  the project's version (three numbers)
;   FILES    the folder that holds the release files and the two lists
;            the script makes from it: install-files.nsh, uninstall-files.nsh
;   OUTFILE  the setup to write
; It installs for all users into Program Files\Kelvane (or the folder chosen
; on its page or with /D=), adds a Start-menu entry for the window, an entry
; in Add/Remove Programs and "Open with Kelvane" for the 3DMF extensions;
; /S runs it, and its uninstaller, without a window.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!define PRODUCT "Kelvane"
!define PUBLISHER "Kelvane"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelvane"
!define CLASSES "Software\Classes"
!define PROGID "Kelvane.3dmf"
; The command Explorer runs for "Open with": the window with the file.
!define OPEN_COMMAND '"$INSTDIR\kelvane.exe" "%1"'

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
; A newer setup proposes the folder of the install it replaces.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; "Open with" for one extension, beside whatever program is its default:
; only the extension's OpenWithProgids list gains our class.
!macro OfferFor EXTENSION
  WriteRegNone HKLM "${CLASSES}\${EXTENSION}\OpenWithProgids" "${PROGID}"
  WriteRegStr HKLM "${CLASSES}\Applications\kelvane.exe\SupportedTypes" "${EXTENSION}" ""
!macroend
; Takes our class off the list; the list and the extension's key go only
; when nothing else is left in them.
!macro ForgetFor EXTENSION
  DeleteRegValue HKLM "${CLASSES}\${EXTENSION}\OpenWithProgids" "${PROGID}"
  DeleteRegKey /ifempty HKLM "${CLASSES}\${EXTENSION}\OpenWithProgids"
  DeleteRegKey /ifempty HKLM "${CLASSES}\${EXTENSION}"
!macroend

Function .onInit
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetShellVarContext all
FunctionEnd

; An earlier install (this version or another) is removed by its own
; uninstaller first, so that no file of an older version stays behind. It
; runs in place (_?=), so that the setup waits for it; it leaves itself.
Function RemoveEarlierInstall
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\uninstall.exe"
    DetailPrint "Removing the earlier install in $0"
    ExecWait '"$0\uninstall.exe" /S _?=$0'
    Delete "$0\uninstall.exe"
    RMDir "$0"
  ${EndIf}
FunctionEnd

Section "Kelvane"
  Call RemoveEarlierInstall
  !include "${FILES}\install-files.nsh"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; Started from the menu in its own folder, as from Explorer.
  CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\kelvane.exe"

  WriteRegStr HKLM "${CLASSES}\Applications\kelvane.exe" "FriendlyAppName" "${PRODUCT}"
  WriteRegStr HKLM "${CLASSES}\Applications\kelvane.exe\shell\open\command" "" '${OPEN_COMMAND}'
  WriteRegStr HKLM "${CLASSES}\${PROGID}" "" "3DMF model"
  WriteRegStr HKLM "${CLASSES}\${PROGID}\shell\open" "FriendlyAppName" "${PRODUCT}"
  WriteRegStr HKLM "${CLASSES}\${PROGID}\shell\open\command" "" '${OPEN_COMMAND}'
  !insertmacro OfferFor .3dmf
  !insertmacro OfferFor .3dm
  !insertmacro OfferFor .q3d
  !insertmacro OfferFor .qd3d

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kelvane.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"

  ; Explorer reads the associations anew.
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

; Removes exactly what the setup put there: a file the user left in the
; folder keeps it, and the folder with it.
Section "Uninstall"
  !include "${FILES}\uninstall-files.nsh"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"

  !insertmacro ForgetFor .3dmf
  !insertmacro ForgetFor .3dm
  !insertmacro ForgetFor .q3d
  !insertmacro ForgetFor .qd3d
  DeleteRegKey HKLM "${CLASSES}\${PROGID}"
  DeleteRegKey HKLM "${CLASSES}\Applications\kelvane.exe"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd
