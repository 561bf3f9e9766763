package com.tev.tools.deployjni.regkit;

/**
 * Registry access in an explicitly chosen view, answered by libRegKit.
 *
 * root selects the predefined key: 1 HKEY_CLASSES_ROOT, 2 HKEY_CURRENT_CONFIG,
 * 8 HKEY_LOCAL_MACHINE, 16 HKEY_USERS, anything else HKEY_CURRENT_USER.
 * Methods ending in 32 or WOW32Bit use the 32-bit view; the others the 64-bit
 * view, except where a boolean argument chooses it. Truth values come back as
 * the int 1 or 0. No method throws.
 */
public final class RegKitAPIDef {
    private RegKitAPIDef() {
    }

    // Keys
    public static native int RegKeyExists32(int root, String keyPath);
    public static native int RegKeyExists64(int root, String keyPath);
    public static native int CreateRegKey(int root, String keyPath);
    public static native int CreateRegKeyWow64(int root, String keyPath);
    public static native int CreateRegKey32(int root, String keyPath);

    // Value queries
    public static native String RegQueryValueEx(int root, String keyPath, String valueName);
    public static native String RegQueryValueExWow64(int root, String keyPath, String valueName);
    public static native String RegQueryValue32(int root, String keyPath, String valueName);
    public static native String RegQueryMultiValue(int root, String keyPath, String valueName, boolean view64);
    public static native int RegQueryDwordValue(int root, String keyPath, String valueName);
    public static native int RegQueryDwordValue32(int root, String keyPath, String valueName);
    public static native long RegQueryType64(int root, String keyPath, String valueName);
    public static native long RegQueryType32(int root, String keyPath, String valueName);

    // Enumeration
    public static native String[] valuesForKey64(int root, String keyPath);
    public static native String[] valuesForKey32(int root, String keyPath);
    public static native String[] childrenForKey64(int root, String keyPath);
    public static native String[] childrenForKey32(int root, String keyPath);

    // Writes and deletions
    public static native int SetRegValue(int root, String keyPath, String valueName, String data, int type);
    public static native int SetRegValueWow64(int root, String keyPath, String valueName, String data, int type);
    public static native int SetRegValue32(int root, String keyPath, String valueName, String data, int type);
    public static native int SetRegDwordValue(int root, String keyPath, String valueName, int data, int type);
    public static native int SetRegDwordValue32(int root, String keyPath, String valueName, int data, int type);
    public static native int DelRegkeyValue(int root, String keyPath, String valueName, boolean view64);
    public static native int DelRegKey32BitOS(int root, String keyPath);
    public static native int DelRegKeyWOW32Bit(int root, String keyPath);
    public static native int DelRegKeyWOW64Bit(int root, String keyPath);
    public static native int DelRegTree(int root, String keyPath);
}
