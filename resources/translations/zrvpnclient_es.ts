<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es_ES" sourcelanguage="en_US">
<context>
    <name>ProfileConfigDialog</name>
    <message>
        <source>标准IPSec隧道</source>
        <translation type="unfinished">Standard IPSec Tunnel</translation>
    </message>
    <message>
        <source>指定远端网络IP地址</source>
        <translation type="unfinished">Specify Remote Network IP Address</translation>
    </message>
</context>
<context>
    <name>SettingWidget</name>
    <message>
        <source>Log日志</source>
        <translation type="unfinished">Log</translation>
    </message>
    <message>
        <source>开机自启动</source>
        <translation type="unfinished">Run at Windows Startup</translation>
    </message>
    <message>
        <source>断线重连</source>
        <translation type="unfinished">Automatic Reconnection</translation>
    </message>
    <message>
        <source>支持NAT穿透</source>
        <translation type="unfinished">Support NAT Traversal</translation>
    </message>
</context>
<context>
    <name>ZRErrorDialog</name>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>Reintentar</translation>
    </message>
    <message>
        <source>There is no TAP-Windows Adapter could be used. Press &quot;Retry&quot; to build a new adapter and try again.</source>
        <translation>No se puede utilizar ningún adaptador TAP-Windows. Pulse &quot;Reintentar&quot; para crear un nuevo adaptador y vuelva a intentarlo.</translation>
    </message>
</context>
<context>
    <name>ZRStringConstant</name>
    <message>
        <source>TOAST_IPSEC_AUTHENTICATION_P1</source>
        <translation type="unfinished">Select the Authentication Algorithm of Phase One</translation>
    </message>
    <message>
        <source>TOAST_IPSEC_AUTHENTICATION_P2</source>
        <translation type="unfinished">Select the Authentication Algorithm of Phase Two</translation>
    </message>
    <message>
        <source>TOAST_IPSEC_CONNECTION_FAILURE</source>
        <translation type="unfinished">Connection failed, please check your configuration.</translation>
    </message>
    <message>
        <source>TOAST_IPSEC_DPD_PERIOD</source>
        <translation type="unfinished">Interval between sending DPD requests.</translation>
    </message>
    <message>
        <source>TOAST_IPSEC_ENCRYPTION_P1</source>
        <translation type="unfinished">Select the Encryption Algorithm of Phase One</translation>
    </message>
    <message>
        <source>TOAST_IPSEC_ENCRYPTION_P2</source>
        <translation type="unfinished">Select the Encryption Algorithm of Phase Two</translation>
    </message>
    <message>
        <source>TOAST_IPSEC_KEY_GROUP_P1</source>
        <translation type="unfinished">Select the Key Group of Phase One</translation>
    </message>
    <message>
        <source>TOAST_IPSEC_PSK</source>
        <translation type="unfinished">Select the Specify the unique pre-shared key for both peers' authentication.</translation>
    </message>
    <message>
        <source>TOAST_REMOTE_NETWORK</source>
        <translation type="unfinished">Specify the remote network.</translation>
    </message>
    <message>
        <source>TOAST_VPN_CONNECTION_TIMEOUT</source>
        <translation type="unfinished">Connection Timeout.</translation>
    </message>
    <message>
        <source>TOAST_VPN_ENABLE_FULL_TRAFFIC_TIP</source>
        <translation type="unfinished">When this function is turned on, all your data will be sent to the VPN peer first, 
and then connected to the target website or server through the peer network.
It is not recommended to enable this function when you only need to access the LAN of the peer router.</translation>
    </message>
    <message>
        <source>TOAST_VPN_PROFILE_NAME</source>
        <translation type="unfinished">Enter a name to identify the VPN policy.</translation>
    </message>
    <message>
        <source>TOAST_VPN_SERVER_IP</source>
        <translation type="unfinished">VPN Server IP Address</translation>
    </message>
    <message>
        <source>TOAST_WIREGUARD_IP_ADDRESS_TIP</source>
        <translation type="unfinished">The interface IP address for the WireGuard VPN</translation>
    </message>
    <message>
        <source>TOAST_WIREGUARD_KEEPALIVE_TIP</source>
        <translation type="unfinished">Specify the tunnel keepalive packet interval.</translation>
    </message>
    <message>
        <source>TOAST_WIREGUARD_PRESHARED_KEY_TIP</source>
        <translation type="unfinished">Specify an optional shared key.</translation>
    </message>
    <message>
        <source>TOAST_WIREGUARD_PRI_KEY_TIP</source>
        <translation type="unfinished">Specify the private key of the Wireguard peer.</translation>
    </message>
    <message>
        <source>TOAST_WIREGUARD_PUB_KEY_TIP</source>
        <translation type="unfinished">Specify the public key of the Wireguard peer.</translation>
    </message>
    <message>
        <source>TOAST_WIREGUARD_SERVER_PUB_KEY_TIP</source>
        <translation type="unfinished">Fill in the public key information exported on the server</translation>
    </message>
    <message>
        <source>ZRVPN_ADD_NEW_PROFILE</source>
        <translation type="unfinished">Add New Profile</translation>
    </message>
    <message>
        <source>ZRVPN_APP_EXIT</source>
        <translation type="unfinished">Exit</translation>
    </message>
    <message>
        <source>ZRVPN_APP_NAME</source>
        <translation type="unfinished">Korva VPN</translation>
    </message>
    <message>
        <source>ZRVPN_CANCEL_CONNECT</source>
        <translation type="unfinished">Cancel</translation>
    </message>
    <message>
        <source>ZRVPN_CONNECT</source>
        <translation type="unfinished">Connect</translation>
    </message>
    <message>
        <source>ZRVPN_CONNECTED</source>
        <translation type="unfinished">Connected</translation>
    </message>
    <message>
        <source>ZRVPN_CONNECTING</source>
        <translation type="unfinished">Connecting...</translation>
    </message>
    <message>
        <source>ZRVPN_DISCONNECT</source>
        <translation type="unfinished">Disconnect</translation>
    </message>
    <message>
        <source>ZRVPN_DISCONNECTED</source>
        <translation type="unfinished">Disconnected</translation>
    </message>
    <message>
        <source>ZRVPN_EDIT_PROFILE</source>
        <translation type="unfinished">Edit Profile</translation>
    </message>
    <message>
        <source>ZRVPN_IPSEC_VPN</source>
        <translation type="unfinished">IPsec VPN</translation>
    </message>
    <message>
        <source>ZRVPN_LANGUAGE_CHINESE</source>
        <translation>繁體中文</translation>
    </message>
    <message>
        <source>ZRVPN_LANGUAGE_CZECH</source>
        <translation>Čeština</translation>
    </message>
    <message>
        <source>ZRVPN_LANGUAGE_DUTCH</source>
        <translation>Nederlands</translation>
    </message>
    <message>
        <source>ZRVPN_LANGUAGE_FRENCH</source>
        <translation>Français</translation>
    </message>
    <message>
        <source>ZRVPN_LANGUAGE_GERMAN</source>
        <translation>Deutsch</translation>
    </message>
    <message>
        <source>ZRVPN_LANGUAGE_HUNGARIAN</source>
        <translation>Magyar</translation>
    </message>
    <message>
        <source>ZRVPN_LANGUAGE_ITALIAN</source>
        <translation>Italiano</translation>
    </message>
    <message>
        <source>ZRVPN_LANGUAGE_JAPANESE</source>
        <translation>日本語</translation>
    </message>
    <message>
        <source>ZRVPN_LANGUAGE_KOREAN</source>
        <translation>한국어</translation>
    </message>
    <message>
        <source>ZRVPN_LANGUAGE_POLISH</source>
        <translation>Polski</translation>
    </message>
    <message>
        <source>ZRVPN_LANGUAGE_PORTUGUESE</source>
        <translation>Português</translation>
    </message>
    <message>
        <source>ZRVPN_LANGUAGE_RUSSIAN</source>
        <translation>Русский язык</translation>
    </message>
    <message>
        <source>ZRVPN_LANGUAGE_SLOVAKIAN</source>
        <translation>Slovenská</translation>
    </message>
    <message>
        <source>ZRVPN_LANGUAGE_SPANISH</source>
        <translation>Español</translation>
    </message>
    <message>
        <source>ZRVPN_LANGUAGE_TURKISH</source>
        <translation>Türkçe</translation>
    </message>
    <message>
        <source>ZRVPN_NO_CONNECTED</source>
        <translation type="unfinished">No Connection</translation>
    </message>
    <message>
        <source>ZRVPN_NO_PROFILE</source>
        <translation type="unfinished">No Profile</translation>
    </message>
    <message>
        <source>ZRVPN_OPEN_VPN</source>
        <translation type="unfinished">Openvpn</translation>
    </message>
    <message>
        <source>ZRVPN_PROFILE_ACTION</source>
        <translation type="unfinished">ACTION</translation>
    </message>
    <message>
        <source>ZRVPN_PROFILE_DELETE</source>
        <translation type="unfinished">Delete</translation>
    </message>
    <message>
        <source>ZRVPN_PROFILE_DELETE_CONTENT</source>
        <translation type="unfinished">Are you sure you want to delete %1?</translation>
    </message>
    <message>
        <source>ZRVPN_PROFILE_DELETE_TITLE</source>
        <translation type="unfinished">Delete %1</translation>
    </message>
    <message>
        <source>ZRVPN_PROFILE_EDIT</source>
        <translation type="unfinished">Edit</translation>
    </message>
    <message>
        <source>ZRVPN_PROFILE_ERROR_NAME_EXIST</source>
        <translation type="unfinished">The name already exists.</translation>
    </message>
    <message>
        <source>ZRVPN_PROFILE_IN_USE</source>
        <translation type="unfinished">The profile is currently in use.</translation>
    </message>
    <message>
        <source>ZRVPN_PROFILE_NAME</source>
        <translation type="unfinished">PROFILE NAME</translation>
    </message>
    <message>
        <source>ZRVPN_PROFILE_NAME_LENGTH_TIP</source>
        <translation type="unfinished">The string length is not 44.</translation>
    </message>
    <message>
        <source>ZRVPN_PROFILE_NAME_VALID_TIP</source>
        <translation type="unfinished">Invalid input characters, please enter 1-128 letters, numbers, or underscores.</translation>
    </message>
    <message>
        <source>ZRVPN_PROFILE_PAGE_INFO</source>
        <translation type="unfinished">Showing %1-%2 of %3 records</translation>
    </message>
    <message>
        <source>ZRVPN_PROFILE_REMOTE_SUBNET</source>
        <translation type="unfinished">Remote Subnets %1:</translation>
    </message>
    <message>
        <source>ZRVPN_PROFILE_SHOWING_RECORDS</source>
        <translation type="unfinished">Showing %1-%2 of %3 records</translation>
    </message>
    <message>
        <source>ZRVPN_PROFILE_TYPE</source>
        <translation type="unfinished">TYPE</translation>
    </message>
    <message>
        <source>ZRVPN_PROFILE_WIREGUARD_VALID_TIP</source>
        <translation type="unfinished">Invalid input characters, please enter 1-32 letters, numbers, or underscores.</translation>
    </message>
    <message>
        <source>ZRVPN_SETTING_DARK_MODE</source>
        <translation type="unfinished">Dark Mode</translation>
    </message>
    <message>
        <source>ZRVPN_SETTING_FELLOW_THE_SYSTEM</source>
        <translation type="unfinished">Follow the system</translation>
    </message>
    <message>
        <source>ZRVPN_SETTING_NORMAL_MODE</source>
        <translation type="unfinished">Normal Mode</translation>
    </message>
    <message>
        <source>ZRVPN_SSL_TUNNEL_VPN</source>
        <translation type="unfinished">SSL VPN</translation>
    </message>
    <message>
        <source>ZRVPN_WIREGUARD_VPN</source>
        <translation type="unfinished">Wireguard VPN</translation>
    </message>
</context>
</TS>
