package com.tev.tools.deployjni.hostprobe;

/**
 * Host questions the deployment tool asks Windows, answered by libHostProbe.
 *
 * Truth values come back as the int 1 (true) or 0 (false). No method throws:
 * a failure is the method's failure result (0, or null).
 */
public final class HostProbeAPIDef {
    private HostProbeAPIDef() {
    }

    // Windows version and architecture
    public static native String GetHostProbeVersion();
    public static native String GetWinVerStr();
    public static native int GetArchitectureWin();
    public static native int isWow64();
    public static native String getSysDr();
    public static native String getSystemDirectory();

    // Processor, memory, computer name
    public static native int GetCPULevelWin();
    public static native int GetCPUModelWin();
    public static native int GetCPUSteppingWin();
    public static native int GetCPUNumWin();
    public static native long GetPhysicalMemory();
    public static native String WinGetComputerName();

    // Files, with WOW64 file-system redirection switched off where named
    public static native int Copy64NoRedirect(String existingFile, String newFile);
    public static native int Delete64NoRedirect(String file);
    public static native int MoveFileEx(String existingFile, String newFile, int flags);
    public static native String GetShortPath(String longPath);
    public static native int IsFileWriteLocked(String file);

    // Fonts, environment broadcast, restart
    public static native int registerFont(String fontFile);
    public static native int unregisterFont(String fontFile);
    public static native int registerEnvironmentChange();
    public static native int SystemShutdown();
}
