<?xml version="1.0" encoding="UTF-8"?>
<Effect>
	<Parameter type="float4x4" name="View"/>
	<Parameter type="float4x4" name="Projection"/>
	<Parameter type="float4x4" name="mSkyBox"/>
	<Parameter type="float4" name="atm" count="11"/>
	<Parameter type="float4" name="sun_vec" default="0 1 0 0"/>
	<Parameter type="float4" name="sun_color" default="1 1 1 100"/>
	<Parameter type="float4" name="sun_vectan" default="0 0 1 0"/>
	<Parameter type="float" name="Time" shared="true"/>
	<Parameter type="texture" name="tex0"/>
	<Parameter type="texture" name="tex1"/>
	<Technique name="Technique0">
		<Pass vertex="Shaders/Clouds.vert" fragment="Shaders/Clouds.frag">
			<State name="CullMode" value="None"/>
			<State name="ZEnable" value="true"/>
			<State name="ZFunc" value="LessEqual"/>
			<State name="ZWriteEnable" value="false"/>
			<State name="AlphaBlendEnable" value="true"/>
			<State name="SrcBlend" value="SrcAlpha"/>
			<State name="DestBlend" value="InvSrcAlpha"/>
			<Sampler texture="tex0" min="Linear" mag="Linear" mip="Linear" u="Wrap" v="Wrap"/>
			<Sampler texture="tex1" min="Linear" mag="Linear" mip="Linear" u="Wrap" v="Wrap"/>
		</Pass>
	</Technique>
</Effect>
