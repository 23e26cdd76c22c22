; The Windows installer: velkarn3-pano-<version>-setup.exe.
; Installs velkarn3.exe under Program Files, with Start-menu shortcuts in
; both languages and an uninstaller registered with Windows. The meter's USB
; driver (libusb-win32) is not part of it: the finish page says so. The
; transponder plans (DVBS: a folder of dtv-scan-tables' DVB-S files and its
; copyright file) go into a "dvb-s" folder beside the program.
;
; makensis -DVERSION=0.1.0 -DEXE=path\to\velkarn3.exe -DICON=path\to\velkarn3.ico
;          -DDVBS=path\to\dvb-s -DOUTFILE=path\to\velkarn3-pano-0.1.0-setup.exe velkarn3.nsi

Unicode true
; A 64-bit installer for the 64-bit program (it also runs under a 64-bit-only
; Wine, where the tests install it).
Target amd64-unicode

!macro Required NAME
  !ifndef ${NAME}
    !error "${NAME} must be defined: makensis -D${NAME}=..."
  !endif
!macroend
!insertmacro Required VERSION
!insertmacro Required EXE
!insertmacro Required DVBS
!insertmacro Required ICON
!insertmacro Required OUTFILE

!define PRODUCT "Velkarn3 Pano"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Velkarn3Pano"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "CompanyName" "Velkarn3"
VIAddVersionKey /LANG=0 "LegalCopyright" "Velkarn3"

!include "MUI2.nsh"
!include "x64.nsh"
!include "LogicLib.nsh"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_TEXT "$(DriverNote)"
!define MUI_FINISHPAGE_RUN "$INSTDIR\velkarn3.exe"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Russian"
!insertmacro MUI_LANGUAGE "English"

LangString DriverNote ${LANG_RUSSIAN} "Программа установлена.$\r$\n$\r$\nДля связи с прибором Velkarn3 (USB 16c0:05df) нужен драйвер libusb-win32: установите его фильтр-драйвер или назначьте прибору драйвер libusb-win32 программой установки драйверов. Без драйвера программа работает так, как будто прибор не подключён."
LangString DriverNote ${LANG_ENGLISH} "The program is installed.$\r$\n$\r$\nTo talk to the Velkarn3 meter (USB 16c0:05df) it needs the libusb-win32 driver: install its filter driver, or give the meter the libusb-win32 driver with a driver installer. Without the driver the program runs as if no meter were attached."
LangString Needs64 ${LANG_RUSSIAN} "Программе нужна 64-разрядная Windows."
LangString Needs64 ${LANG_ENGLISH} "The program needs 64-bit Windows."

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "$(Needs64)" /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Velkarn3 Pano"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "/oname=velkarn3.exe" "${EXE}"
  ; The transponder plans (dtv-scan-tables' DVB-S files and their copyright).
  SetOutPath "$INSTDIR\dvb-s"
  File "${DVBS}/*"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\Velkarn3 Pano.lnk" "$INSTDIR\velkarn3.exe"
  CreateShortcut "$SMPROGRAMS\Velkarn3 Панорама.lnk" "$INSTDIR\velkarn3.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Velkarn3"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\velkarn3.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Velkarn3 Pano.lnk"
  Delete "$SMPROGRAMS\Velkarn3 Панорама.lnk"
  Delete "$INSTDIR\velkarn3.exe"
  Delete "$INSTDIR\uninstall.exe"
  Delete "$INSTDIR\dvb-s\*"
  RMDir "$INSTDIR\dvb-s"
  ; Only if empty: whatever else the user put there stays.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
