"""Established spellings: the conventional forms English texts use instead of
Wade-Giles, with their Hanyu Pinyin. tools/make_tables.py writes them to
data/kesticnv.txt; data/README.md describes each group and its source.

A spelling that is also Wade-Giles, hyphenated or not (Honan, Hunan, Kansu,
Yunnan, Shantung, Chihli, Yenan, Pei Ho), is not listed here: it is a word
of the syllable or word table and converts like any Wade-Giles word. The
table generator refuses a list that breaks this.
"""

# Provinces and regions in the Chinese Postal Map romanization, the system
# of the Imperial Post Office (1906 Shanghai conference), used on the
# Postal Atlas of China (1919) and in English-language maps, newspapers and
# histories until Pinyin replaced it in 1979.
PROVINCES = {
    "Anhwei": "Anhui", "Chekiang": "Zhejiang", "Fukien": "Fujian", "Heilungkiang": "Heilongjiang",
    "Hopeh": "Hebei", "Hupeh": "Hubei", "Jehol": "Rehe", "Kiangsi": "Jiangxi", "Kiangsu": "Jiangsu",
    "Kirin": "Jilin", "Kwangsi": "Guangxi", "Kwangtung": "Guangdong", "Kweichow": "Guizhou",
    "Shansi": "Shanxi", "Shensi": "Shaanxi", "Sikang": "Xikang", "Sinkiang": "Xinjiang", "Szechwan": "Sichuan",
    "Szechuan": "Sichuan", "Tsinghai": "Qinghai", "Fengtien": "Fengtian",
}

# Provincial capitals, treaty ports and other cities, in the same postal
# spellings (Postal Atlas of China, 1919; the treaty ports as the Chinese
# Maritime Customs listed them).
CITIES = {
    "Peking": "Beijing", "Peiping": "Beiping", "Nanking": "Nanjing", "Tientsin": "Tianjin", "Canton": "Guangzhou",
    "Chungking": "Chongqing", "Hankow": "Hankou", "Tsinan": "Jinan", "Tsingtao": "Qingdao", "Sian": "Xi'an",
    "Sianfu": "Xi'anfu", "Chengtu": "Chengdu", "Kweiyang": "Guiyang", "Foochow": "Fuzhou", "Amoy": "Xiamen",
    "Swatow": "Shantou", "Hangchow": "Hangzhou", "Soochow": "Suzhou", "Wenchow": "Wenzhou",
    "Chinkiang": "Zhenjiang", "Kiukiang": "Jiujiang", "Ichang": "Yichang", "Shasi": "Shashi", "Yochow": "Yueyang",
    "Anking": "Anqing", "Kalgan": "Zhangjiakou", "Paotow": "Baotou", "Lanchow": "Lanzhou", "Sining": "Xining",
    "Urumchi": "Ürümqi", "Tihwa": "Dihua", "Kashgar": "Kashi", "Mukden": "Shenyang", "Dairen": "Dalian",
    "Port Arthur": "Lüshun", "Newchwang": "Niuzhuang", "Chefoo": "Yantai", "Kiaochow": "Jiaozhou", "Chinwangtao": "Qinhuangdao", "Tengyueh": "Tengchong", "Szemao": "Simao",
    "Mengtsz": "Mengzi", "Pakhoi": "Beihai", "Kiungchow": "Qiongzhou", "Hoihow": "Haikou", "Samshui": "Sanshui",
    "Kongmoon": "Jiangmen", "Wuchow": "Wuzhou", "Lungchow": "Longzhou", "Santuao": "Sandu'ao",
    "Yunnanfu": "Kunming", "Changteh": "Changde", "Siangtan": "Xiangtan", "Hweichow": "Huizhou",
    "Hsuchow": "Xuzhou", "Suchow": "Xuzhou", "Yangchow": "Yangzhou", "Tsingkiangpu": "Qingjiangpu",
    "Kweilin": "Guilin", "Chuchow": "Zhuzhou", "Tsitsihar": "Qiqihar", "Hsinking": "Xinjing",
    "Tatung": "Datong", "Tsingyuan": "Qingyuan", "Hwaiyang": "Huaiyang",
    "Wusih": "Wuxi", "Changchow": "Changzhou", "Kaoping": "Gaoping", "Tunhwang": "Dunhuang",
    "Chuanchow": "Quanzhou", "Shiuchow": "Shaoguan", "Chaochow": "Chaozhou", "Tsungming": "Chongming",
    "Wuhsing": "Wuxing", "Huchow": "Huzhou", "Shaohing": "Shaoxing",
    "Taichow": "Taizhou", "Hwangpu": "Huangpu", "Whampoa": "Huangpu", "Macao": "Aomen", "Kowloon": "Jiulong",
    "Paoting": "Baoding", "Chengchow": "Zhengzhou", "Kanchow": "Ganzhou", "Nantung": "Nantong",
    "Kashing": "Jiaxing", "Kinhwa": "Jinhua", "Antung": "Andong", "Chinchow": "Jinzhou", "Kweihwa": "Guihua",
    "Kweisui": "Guisui", "Yingkow": "Yingkou", "Tsunyi": "Zunyi", "Siangyang": "Xiangyang",
    "Kiangyin": "Jiangyin", "Sungkiang": "Songjiang", "Pukow": "Pukou", "Tangku": "Tanggu",
    "Liangchow": "Liangzhou", "Shihkiachwang": "Shijiazhuang", "Tsangchow": "Cangzhou", "Tehchow": "Dezhou",
    "Tsining": "Jining", "Yenchow": "Yanzhou", "Hwainan": "Huainan", "Tsinkiang": "Jinjiang",
    "Sinyang": "Xinyang", "Kwangchowwan": "Guangzhouwan", "Fatshan": "Foshan", "Pingsiang": "Pingxiang",
    "Kaying": "Jiaying", "Chowkow": "Zhoukou",
    "Hong Kong": "Xianggang", "Hongkong": "Xianggang", "Macau": "Aomen",
}

# Rivers, lakes and mountains as the postal system and English maps of the
# time named them.
GEOGRAPHY = {
    "Yangtze": "Yangzi", "Yangtse": "Yangzi", "Yangtze Kiang": "Yangzi Jiang", "Hwang Ho": "Huang He",
    "Hwangho": "Huang He", "Hoang Ho": "Huang He", "Si Kiang": "Xi Jiang", "Sikiang": "Xi Jiang",
    "Hwai": "Huai", "Sungari": "Songhua", "Kialing": "Jialing", "Tungting": "Dongting",
    "Whangpoo": "Huangpu", "Peiho": "Bai He", "Minkiang": "Min Jiang",
    "Kinsha": "Jinsha", "Omei": "Emei", "Kwenlun": "Kunlun", "Tsinling": "Qinling",
}

# The postal map's smaller places in the same spellings: hill and seaside
# resorts, river mouths and the forts at them, offshore islands, border and
# frontier towns, and the rivers named with Kiang (Postal Atlas of China,
# 1919 and 1933; the islands and river mouths as the Chinese Maritime
# Customs' charts and lists of lights named them).
SMALLER_PLACES = {
    "Peitaiho": "Beidaihe", "Kuling": "Guling", "Mokanshan": "Moganshan", "Pootoo": "Putuo",
    "Putoshan": "Putuoshan", "Chusan": "Zhoushan", "Quemoy": "Jinmen", "Matsu": "Mazu", "Pescadores": "Penghu",
    "Formosa": "Taiwan", "Kulangsu": "Gulangyu", "Namoa": "Nan'ao", "Lintin": "Lingding", "Tachen": "Dachen",
    "Woosung": "Wusong", "Taku": "Dagu", "Shanhaikwan": "Shanhaiguan", "Shanhaikuan": "Shanhaiguan",
    "Hokow": "Hekou", "Manchouli": "Manzhouli", "Aigun": "Aihui", "Suifenho": "Suifenhe", "Siakwan": "Xiaguan",
    "Kiating": "Jiading", "Suifu": "Xufu", "Luchow": "Luzhou", "Tungchow": "Tongzhou", "Paotingfu": "Baodingfu",
    "Hengchow": "Hengzhou", "Hwangshan": "Huangshan", "Tsientang": "Qiantang", "Ussuri": "Wusuli",
    "Lungkow": "Longkou", "Chingwangtao": "Qinhuangdao", "Kirin-ula": "Jilin Wula", "Tsitsikar": "Qiqihar",
    "Ningsia": "Ningxia", "Tatsienlu": "Dajianlu", "Yachow": "Yazhou", "Tzeliutsing": "Ziliujing",
    "Sansing": "Sanxing",
    "Kahsing": "Jiaxing", "Han Kiang": "Han Jiang", "Min Kiang": "Min Jiang", "Kan Kiang": "Gan Jiang",
    "Siang Kiang": "Xiang Jiang", "Yuen Kiang": "Yuan Jiang", "Tung Kiang": "Dong Jiang", "Pei Kiang": "Bei Jiang",
}

# People and parties known in English by forms of their own (mostly
# Cantonese or personal romanizations), with the Pinyin reference works
# give. Sun Yat-sen is Sun Yixian, the Pinyin of the same name (Yat-sen,
# Yixian); Chinese texts mostly call him Sun Zhongshan, a later name.
NAMES = {
    "Sun Yat-sen": "Sun Yixian", "Sun Yatsen": "Sun Yixian", "Chiang Kai-shek": "Jiang Jieshi",
    "Chiang Kaishek": "Jiang Jieshi", "Soong Ching-ling": "Song Qingling", "Soong Mei-ling": "Song Meiling",
    "Soong Ai-ling": "Song Ailing", "Kuomintang": "Guomindang", "Confucius": "Kongzi", "Mencius": "Mengzi",
    "Koxinga": "Zheng Chenggong",
    "Wellington Koo": "Gu Weijun", "Lin Yutang": "Lin Yutang", "Chu Teh": "Zhu De",
    "Peng Teh-huai": "Peng Dehuai",
}

GROUPS = [
    ("provinces and regions", PROVINCES),
    ("cities and treaty ports", CITIES),
    ("rivers, lakes and mountains", GEOGRAPHY),
    ("resorts, islands, river mouths and border towns", SMALLER_PLACES),
    ("people and parties", NAMES),
]


def records():
    """Every (spelling, Pinyin) pair, keys unique ignoring case."""
    out = {}
    for _, group in GROUPS:
        for key, value in group.items():
            assert key.lower() not in {k.lower() for k in out}, key
            out[key] = value
    return out
